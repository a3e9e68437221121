#pragma once
// The class Vantrel.dll serves.
#include <windows.h>

#include "ProductFacts.h"

// The thumbnail provider's class identifier, VANTREL_PROVIDER_CLSID.
constexpr CLSID CLSID_VantrelThumbnailProvider = {VANTREL_PROVIDER_CLSID_INITIALIZER};
