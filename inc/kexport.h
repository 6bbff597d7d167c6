// What the library exports. Symbols are hidden by default; the classes,
// functions and data a host may use carry KESTREL_API, so the shared
// library's symbol table holds the public interface and nothing else.
#pragma once

#if defined(_WIN32)
#ifdef KESTREL_BUILDING_LIBRARY
#define KESTREL_API __declspec(dllexport)
#else
#define KESTREL_API __declspec(dllimport)
#endif
#else
#define KESTREL_API __attribute__((visibility("default")))
#endif
