#pragma once
// What an in-process COM server of this product shares with the other: the
// module's entry point and class-object exports (ComServer.cpp), the class
// factory and the module's object count. Each DLL serves one class, which
// it names by defining `servedClass`.
#include <windows.h>
#include <objidl.h>

#include <new>

#include "ComPtr.h"

struct ServedClass {
  CLSID classId;
  // Makes a new object of the class and queries it for `interfaceId`.
  HRESULT (*create)(REFIID interfaceId, void** object);
};
// Defined once by each module.
extern const ServedClass servedClass;

// The module's own handle, stored by DllMain; registration asks it for the
// module's file path.
extern HINSTANCE moduleInstance;

// Live objects of the module (class factories and served objects) of all
// apartments. Changed only with interlocked operations; zero lets the
// module unload.
extern LONG moduleObjectCount;

// A new COM object of `Object` (constructed with a count of 1) queried for
// `interfaceId`. The wrapper holds the construction reference and drops it
// on return: the caller holds the only reference after a successful query,
// and a failed query leaves no object behind.
template <typename Object>
HRESULT CreateComObject(REFIID interfaceId, void** object) {
  ComPtr<Object> made;
  made.Attach(new (std::nothrow) Object());
  if (!made) return E_OUTOFMEMORY;
  return made->QueryInterface(interfaceId, object);
}

// Counts one live object of the module for its lifetime: a member of every
// COM class the module serves.
class ModuleObjectCount {
 public:
  ModuleObjectCount() { InterlockedIncrement(&moduleObjectCount); }
  ~ModuleObjectCount() { InterlockedDecrement(&moduleObjectCount); }
  ModuleObjectCount(const ModuleObjectCount&) = delete;
  ModuleObjectCount& operator=(const ModuleObjectCount&) = delete;
};

// IInitializeWithStream::Initialize of an object that keeps one stream:
// refused with ERROR_ALREADY_INITIALIZED while `kept` holds one, else the
// given object's own answer for IStream, whose reference `kept` holds.
HRESULT KeepStream(ComPtr<IStream>& kept, IStream* given);

// IObjectWithSite::GetSite over the site held: E_NOINTERFACE (the
// out-pointer untouched) without one, else the site's own answer.
HRESULT QuerySite(const ComPtr<IUnknown>& site, REFIID interfaceId, void** object);
