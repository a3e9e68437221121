// The COM face of Vantrel.dll: class object, factory, provider interfaces,
// reference and object counts, and every result code, called through the
// DLL's own exports.
#include <windows.h>
#include <ocidl.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <gtest/gtest.h>

#include "VantrelTestSupport.h"

namespace {

void* const kUntouched = reinterpret_cast<void*>(0x5A5A);

// An object with nothing but IUnknown, that counts its references: a site,
// or a "stream" that is none.
class PlainObject final : public IUnknown {
 public:
  IFACEMETHODIMP QueryInterface(REFIID interfaceId, void** object) override {
    if (IsEqualIID(interfaceId, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return ++references; }
  IFACEMETHODIMP_(ULONG) Release() override { return --references; }
  ULONG references = 1;  // the test's own, on the stack
};

ULONG ReferenceCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class ComObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    getClassObject_ = VantrelFunction<DllGetClassObjectFn>("DllGetClassObject");
    canUnloadNow_ = VantrelFunction<DllFunctionFn>("DllCanUnloadNow");
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
    ASSERT_EQ(canUnloadNow_(), S_OK) << "an earlier test left an object alive";
  }
  void TearDown() override { EXPECT_EQ(canUnloadNow_(), S_OK) << "an object was leaked"; }

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(getClassObject_(ProviderClassId(), IID_PPV_ARGS(&factory)), S_OK);
    return factory;
  }

  // A new provider, asked for IInitializeWithStream.
  IInitializeWithStream* Provider() {
    IClassFactory* factory = Factory();
    IInitializeWithStream* provider = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&provider)), S_OK);
    factory->Release();
    return provider;
  }

  static CLSID ProviderClassId() {
    CLSID classId = {};
    CLSIDFromString(kProviderClsidText, &classId);
    return classId;
  }

  DllGetClassObjectFn getClassObject_ = nullptr;
  DllFunctionFn canUnloadNow_ = nullptr;
};

TEST_F(ComObjectsTest, ClassObjectIsTheFactoryWithOneReference) {
  IUnknown* object = nullptr;
  ASSERT_EQ(getClassObject_(ProviderClassId(), IID_IUnknown,
                            reinterpret_cast<void**>(&object)),
            S_OK);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(ReferenceCount(object), 1u);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(factory), object) << "IUnknown is the IClassFactory pointer";
  factory->Release();
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ComObjectsTest, ClassObjectResults) {
  void* out = kUntouched;
  EXPECT_EQ(getClassObject_(ProviderClassId(), __uuidof(IThumbnailProvider), &out),
            E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnloadNow_(), S_OK) << "the factory of a failed request is gone";

  // The out-pointer is checked before the class.
  EXPECT_EQ(getClassObject_(ProviderClassId(), IID_IClassFactory, nullptr), E_INVALIDARG);
  EXPECT_EQ(getClassObject_(IID_IStream, IID_IClassFactory, nullptr), E_INVALIDARG);

  out = kUntouched;
  EXPECT_EQ(getClassObject_(IID_IStream, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(ComObjectsTest, FactoryQueriesAndLockServer) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  void* out = kUntouched;
  EXPECT_EQ(factory->QueryInterface(__uuidof(IThumbnailProvider), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  IUnknown* identity = nullptr;
  EXPECT_EQ(factory->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(factory));
  identity->Release();

  // LockServer changes nothing: releasing the factory lets the module go.
  EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
  EXPECT_EQ(factory->LockServer(FALSE), E_NOTIMPL);
  EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ComObjectsTest, CreateInstanceResults) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);

  PlainObject outer;
  void* out = kUntouched;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, kUntouched);
  EXPECT_EQ(outer.references, 1u);

  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  IThumbnailProvider* provider = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&provider)), S_OK);
  factory->Release();
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the provider alone keeps the module";
  EXPECT_EQ(ReferenceCount(provider), 1u);
  EXPECT_EQ(provider->Release(), 0u);
}

TEST_F(ComObjectsTest, ProviderIdentityIsItsInitializeWithStreamInterface) {
  IInitializeWithStream* initialize = Provider();
  ASSERT_NE(initialize, nullptr);
  IThumbnailProvider* thumbnail = nullptr;
  IObjectWithSite* withSite = nullptr;
  ASSERT_EQ(initialize->QueryInterface(IID_PPV_ARGS(&thumbnail)), S_OK);
  ASSERT_EQ(thumbnail->QueryInterface(IID_PPV_ARGS(&withSite)), S_OK);
  EXPECT_EQ(ReferenceCount(initialize), 3u) << "one count for all three interfaces";

  IUnknown* fromEach[3] = {};
  initialize->QueryInterface(IID_PPV_ARGS(&fromEach[0]));
  thumbnail->QueryInterface(IID_PPV_ARGS(&fromEach[1]));
  withSite->QueryInterface(IID_PPV_ARGS(&fromEach[2]));
  for (IUnknown* identity : fromEach) {
    EXPECT_EQ(identity, static_cast<IUnknown*>(initialize));
    identity->Release();
  }
  void* out = kUntouched;
  EXPECT_EQ(withSite->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  withSite->Release();
  thumbnail->Release();
  EXPECT_EQ(initialize->Release(), 0u);
}

TEST_F(ComObjectsTest, SecondInitializeIsRefusedAndTheFirstStreamKept) {
  IInitializeWithStream* provider = Provider();
  ASSERT_NE(provider, nullptr);
  IStream* first = MemoryStream("G1 X1 Y1\n");
  IStream* second = MemoryStream("G1 X2 Y2\n");

  EXPECT_EQ(provider->Initialize(first, STGM_READ), S_OK);
  EXPECT_EQ(ReferenceCount(first), 2u) << "the provider holds one reference";
  EXPECT_EQ(provider->Initialize(second, STGM_READ), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  EXPECT_EQ(provider->Initialize(first, STGM_READ), static_cast<HRESULT>(0x800704DF));
  EXPECT_EQ(ReferenceCount(first), 2u);
  EXPECT_EQ(ReferenceCount(second), 1u);

  EXPECT_EQ(provider->Release(), 0u);
  EXPECT_EQ(ReferenceCount(first), 1u) << "released with the provider";
  first->Release();
  second->Release();
}

TEST_F(ComObjectsTest, InitializeWithAnObjectThatIsNoStream) {
  IInitializeWithStream* provider = Provider();
  ASSERT_NE(provider, nullptr);
  PlainObject notAStream;
  EXPECT_EQ(provider->Initialize(reinterpret_cast<IStream*>(&notAStream), STGM_READ),
            E_NOINTERFACE);
  EXPECT_EQ(notAStream.references, 1u);

  // Nothing is held, so a later Initialize may try again.
  IStream* stream = MemoryStream("");
  EXPECT_EQ(provider->Initialize(stream, STGM_READ), S_OK);
  provider->Release();
  EXPECT_EQ(stream->Release(), 0u);
}

TEST_F(ComObjectsTest, SiteIsHeldReplacedAndDropped) {
  IInitializeWithStream* provider = Provider();
  ASSERT_NE(provider, nullptr);
  IObjectWithSite* withSite = nullptr;
  ASSERT_EQ(provider->QueryInterface(IID_PPV_ARGS(&withSite)), S_OK);

  void* out = kUntouched;
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, &out), E_NOINTERFACE);
  EXPECT_EQ(out, kUntouched);

  PlainObject first, second;
  EXPECT_EQ(withSite->SetSite(&first), S_OK);
  EXPECT_EQ(first.references, 2u);
  IUnknown* site = nullptr;
  EXPECT_EQ(withSite->GetSite(IID_PPV_ARGS(&site)), S_OK);
  EXPECT_EQ(site, static_cast<IUnknown*>(&first));
  site->Release();
  // An interface the site lacks: the site's own answer.
  EXPECT_EQ(withSite->GetSite(IID_IStream, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  EXPECT_EQ(withSite->SetSite(&second), S_OK);
  EXPECT_EQ(first.references, 1u) << "the old site is released when replaced";
  EXPECT_EQ(second.references, 2u);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(second.references, 1u);

  EXPECT_EQ(withSite->SetSite(&first), S_OK);
  withSite->Release();
  EXPECT_EQ(provider->Release(), 0u);
  EXPECT_EQ(first.references, 1u) << "the site is released with the provider";
}

TEST_F(ComObjectsTest, ObjectCountFollowsEveryObject) {
  IClassFactory* factory = Factory();
  IInitializeWithStream* a = nullptr;
  IInitializeWithStream* b = nullptr;
  factory->CreateInstance(nullptr, IID_PPV_ARGS(&a));
  factory->CreateInstance(nullptr, IID_PPV_ARGS(&b));
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  a->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  b->Release();  // never initialised: releases nothing but itself
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
