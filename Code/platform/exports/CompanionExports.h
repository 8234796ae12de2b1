// The C entry points a companion resource library (Res.dll) exports, so the
// program can read its string table and its named resources.
#pragma once

#include <stddef.h>

// Marks a function the library exports.
#ifdef _WIN32
#define TARQUEL_EXPORT __declspec(dllexport)
#else
#define TARQUEL_EXPORT __attribute__((visibility("default")))
#endif

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

// The product information handed to the About box of the forms library
// (Form.dll); every field is a zero-terminated text.
typedef struct TarquelProductInfo {
  const char* CompanyName;
  const char* ProductName;
  const char* Text2;
  const char* Version;
  const char* HomePage;
  const char* Email;
  const char* Text7;
  const char* AppPath;
} TarquelProductInfo;

// Shows the About box modally and returns when the user has closed it.
// `application` is the program's application object.
typedef void (*ShowAboutFormFn)(void* application, const TarquelProductInfo* info);
#define SHOW_ABOUT_FORM_EXPORT "ShowAboutForm"

#ifdef __cplusplus
}
#endif
