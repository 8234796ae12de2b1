/* Preloaded into the encoder by bench_encoder_vs_ffmpeg: notes when main()
 * begins and when the program first reads a packet (av_read_frame), in
 * seconds of CLOCK_MONOTONIC, into the file TARQUEL_FIRST_READ_LOG names.
 * It changes nothing the program does. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef int (*MainFunction)(int, char**, char**);
typedef int (*StartMain)(MainFunction, int, char**, void (*)(void), void (*)(void), void (*)(void), void*);
typedef int (*ReadFrame)(void*, void*);

static MainFunction programMain;
static double mainBegan;
static int noted;

/* The function a symbol names further down the search order: copied
 * rather than cast, as ISO C has no cast from an object pointer to a
 * function pointer. */
static void Next(const char* name, void* function, size_t size) {
  void* symbol = dlsym(RTLD_NEXT, name);
  memcpy(function, &symbol, size);
}

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static int NotedMain(int argc, char** argv, char** env) {
  mainBegan = Now();
  return programMain(argc, argv, env);
}

int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(void), void (*fini)(void),
                      void (*rtldFini)(void), void* stackEnd) {
  StartMain real;
  Next("__libc_start_main", &real, sizeof real);
  programMain = main;
  return real(NotedMain, argc, argv, init, fini, rtldFini, stackEnd);
}

int av_read_frame(void* context, void* packet) {
  static ReadFrame real;
  if (!real) Next("av_read_frame", &real, sizeof real);
  if (!noted) {
    noted = 1;
    const double read = Now();
    const char* name = getenv("TARQUEL_FIRST_READ_LOG");
    FILE* log = name ? fopen(name, "w") : NULL;
    if (log) {
      fprintf(log, "%.9f %.9f\n", mainBegan, read);
      fclose(log);
    }
  }
  return real(context, packet);
}
