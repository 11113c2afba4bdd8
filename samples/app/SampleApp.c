/* The program every sample package installs: it says which sample it is. Built once per package with its
   name and version. */
#include <stdio.h>

#ifndef APP_NAME
#define APP_NAME "KxSample"
#endif
#ifndef APP_VERSION
#define APP_VERSION "1.0"
#endif

int main(void) {
    printf("%s %s\n", APP_NAME, APP_VERSION);
    return 0;
}
