/* Forced into the generated proxy file: mingw's unknwn.h declares these three
   IUnknown proxies for C++ only, and the C proxy tables refer to them. */
#pragma once
#include <unknwn.h>
#ifndef __cplusplus
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
#endif
