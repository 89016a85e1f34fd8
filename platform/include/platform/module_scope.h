/* Extension modules call back into the library that loaded them. */
#ifndef PLATFORM_MODULE_SCOPE_H
#define PLATFORM_MODULE_SCOPE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the exports of the shared library holding `address` visible to
 * modules loaded after it, as a library its host opened privately needs
 * before its first module is loaded. Nothing for an address in the
 * executable. */
void pk_module_expose(const void* address);

#ifdef __cplusplus
}
#endif

#endif
