#pragma once
// The platform's NAT traversal interfaces (UPnPNAT), declared here because MinGW-w64
// ships no natupnp.h. Methods are in the documented vtable order; every slot is
// declared, used or not, so later slots land where the platform puts them.
#include <objbase.h>
#include <oaidl.h>

struct IStaticPortMapping;
struct IStaticPortMappingCollection;
struct IDynamicPortMapping;
struct IDynamicPortMappingCollection;
struct INATEventManager;

// {AE1E00AA-3FD5-403C-8A27-2BBDC30CD0E1}
extern "C" const CLSID CLSID_UPnPNAT;

// {6F10711F-729B-41E5-93B8-F21D0F818DF1}
struct IStaticPortMapping : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ExternalIPAddress(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExternalPort(long* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_InternalPort(long* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Protocol(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_InternalClient(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE EditInternalClient(BSTR internalClient) = 0;
    virtual HRESULT STDMETHODCALLTYPE Enable(VARIANT_BOOL enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE EditDescription(BSTR description) = 0;
    virtual HRESULT STDMETHODCALLTYPE EditInternalPort(long internalPort) = 0;
};

// {CD1F3E77-66D6-4664-82C7-36DBB641D0F1}
struct IStaticPortMappingCollection
    : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(long externalPort, BSTR protocol, IStaticPortMapping** mapping) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(long externalPort, BSTR protocol) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(long externalPort, BSTR protocol, long internalPort, BSTR internalClient,
                                          VARIANT_BOOL enabled, BSTR description,
                                          IStaticPortMapping** mapping) = 0;
};

// {B171C812-CC76-485A-94D8-B6B3A2794E99}
struct IUPnPNAT : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_StaticPortMappingCollection(IStaticPortMappingCollection** collection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DynamicPortMappingCollection(
        IDynamicPortMappingCollection** collection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NATEventManager(INATEventManager** manager) = 0;
};

__CRT_UUID_DECL(IStaticPortMapping, 0x6f10711f, 0x729b, 0x41e5, 0x93, 0xb8, 0xf2, 0x1d, 0x0f, 0x81, 0x8d, 0xf1)
__CRT_UUID_DECL(IStaticPortMappingCollection, 0xcd1f3e77, 0x66d6, 0x4664, 0x82, 0xc7, 0x36, 0xdb, 0xb6, 0x41,
                0xd0, 0xf1)
__CRT_UUID_DECL(IUPnPNAT, 0xb171c812, 0xcc76, 0x485a, 0x94, 0xd8, 0xb6, 0xb3, 0xa2, 0x79, 0x4e, 0x99)
