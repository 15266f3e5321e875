/* A plug-in without an effect function: the program must not list it. */
#include <stdio.h>

void orvaMenuName(char *label, int size) {
    snprintf(label, (size_t)size, "Nothing");
}
