/* The proxy/stub DLL's entry points, with a class id of its own so that
   registering it never depends on the order of the interfaces in the IDL. */
#define REGISTER_PROXY_DLL
#define PROXY_CLSID_IS {0xDA0A8C22, 0x8FF8, 0x4910, {0xAB, 0x48, 0xE9, 0x55, 0x07, 0x71, 0x9F, 0xCA}}
#include "dlldata.c"
