// _wfopen: opens a file named by a wide path, as UTF-8 on this host.
#include <windows.h>
