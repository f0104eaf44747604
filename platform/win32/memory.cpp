// _heapmin. glibc's malloc keeps the pages of freed blocks, in the arena of every
// thread that allocated them, until it is asked to give them back.
#include <malloc.h>
#include <windows.h>

int _heapmin() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
  return 0;
}
