#pragma once
// State shared by the whole module and the class it serves.
#include <windows.h>

#include "ProductFacts.h"

// The thumbnail provider's class identifier, VANTREL_PROVIDER_CLSID.
constexpr CLSID CLSID_VantrelThumbnailProvider = {VANTREL_PROVIDER_CLSID_INITIALIZER};

// The module's own handle, stored by DllMain; registration asks it for the
// module's file path.
extern HINSTANCE moduleInstance;

// Live CClassFactory and CThumbnailProvider objects of all apartments.
// Changed only with interlocked operations; zero lets the module unload.
extern LONG moduleObjectCount;
