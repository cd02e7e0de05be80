/* A library named like Brinecore that lacks AudioToBytes, for the test of a
 * program meeting an incomplete library. */
#include <stdint.h>

__attribute__((visibility("default"))) int32_t ReInit(int32_t unused)
{
    (void)unused;
    return 0;
}
