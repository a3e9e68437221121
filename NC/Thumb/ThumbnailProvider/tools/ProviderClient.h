#pragma once
// What both tools do before they ask for a thumbnail: open the file as the
// Shell does and make an initialised provider through the DLL's exported
// DllGetClassObject (no registration needed).
#include <windows.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <string>

#include "ProductFacts.h"

constexpr CLSID kProviderClassId = {VANTREL_PROVIDER_CLSID_INITIALIZER};

using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// A read-only stream over `file`, as the Shell hands one over, or null.
inline IStream* OpenFileStream(const std::wstring& file) {
  IStream* stream = nullptr;
  if (FAILED(SHCreateStreamOnFileEx(file.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                    FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream))) {
    return nullptr;
  }
  return stream;
}

// A provider holding a stream over `file`, or null. The caller releases it.
inline IThumbnailProvider* OpenThumbnailProvider(DllGetClassObjectFn getClassObject,
                                                 const std::wstring& file) {
  IStream* stream = OpenFileStream(file);
  if (stream == nullptr) return nullptr;
  IThumbnailProvider* thumbnails = nullptr;
  IClassFactory* factory = nullptr;
  if (SUCCEEDED(getClassObject(kProviderClassId, IID_PPV_ARGS(&factory)))) {
    IInitializeWithStream* provider = nullptr;
    if (SUCCEEDED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&provider)))) {
      if (FAILED(provider->Initialize(stream, STGM_READ)) ||
          FAILED(provider->QueryInterface(IID_PPV_ARGS(&thumbnails)))) {
        thumbnails = nullptr;
      }
      provider->Release();
    }
    factory->Release();
  }
  stream->Release();  // the provider keeps its own reference
  return thumbnails;
}
