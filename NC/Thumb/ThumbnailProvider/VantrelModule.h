#pragma once
// State shared by the whole module and the class it serves.
#include <windows.h>

// The thumbnail provider's class identifier, {4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}.
constexpr CLSID CLSID_VantrelThumbnailProvider = {
    0x4C7D2E15, 0xB3A9, 0x4f2e, {0x87, 0x13, 0xC9, 0xE0, 0x5A, 0x61, 0xB4, 0xD8}};

// The module's own handle, stored by DllMain; registration asks it for the
// module's file path.
extern HINSTANCE moduleInstance;

// Live CClassFactory and CThumbnailProvider objects of all apartments.
// Changed only with interlocked operations; zero lets the module unload.
extern LONG moduleObjectCount;
