// The C entry points a companion resource library (Res.dll) exports, so the
// program can read its string table and its named resources.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Copies string `id` into `buffer` (at most bufferSize - 1 characters,
// zero-terminated) and returns the number of characters copied; 0 when the
// library has no such string.
typedef int (*TarquelLoadStringFn)(unsigned id, char* buffer, int bufferSize);
#define TARQUEL_LOAD_STRING_EXPORT "TarquelLoadString"

// The bytes of the resource `name` of type `type` and their count in *size;
// a null pointer when there is no such resource.
typedef const unsigned char* (*TarquelFindResourceFn)(const char* name, const char* type, size_t* size);
#define TARQUEL_FIND_RESOURCE_EXPORT "TarquelFindResource"

#ifdef __cplusplus
}
#endif
