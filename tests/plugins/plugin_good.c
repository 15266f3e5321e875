/* A user effect plug-in for the tests: inverts picture A. */
#include <stdio.h>

void orvaMenuName(char *label, int size) {
    snprintf(label, (size_t)size, "Negative");
}

void orvaUserEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                    int bytesPerPixel, int i, int n, int fields) {
    (void)b, (void)i, (void)n, (void)fields;
    for (int k = 0; k < width * height * bytesPerPixel; k++)
        out[k] = (unsigned char)(255 - a[k]);
}
