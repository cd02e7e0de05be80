/* Built as plain C against nothing but the public header and the shared
 * library: proves the exported interface links and decodes a transmission. */
#include "Brinecore.h"

#include <stdio.h>
#include <string.h>

enum { SamplesPerBit = 5, SampleRate = 48000, MaxBits = 400 };

static unsigned char bits[MaxBits];
static int bitCount;

static void PutBit(int bit) { bits[bitCount++] = (unsigned char)bit; }

static void PutFlag(void)
{
    static const int flag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
    for (int i = 0; i < 8; ++i)
        PutBit(flag[i]);
}

int main(void)
{
    /* A 21-octet type 1 message, then its FCS (CRC-16/X-25, complemented,
     * low octet first). */
    unsigned char frame[23] = {0x04, 0x3d, 0x76, 0x11, 0x90, 0x20, 0x00, 0x00, 0x18, 0x56, 0xab,
                               0x22, 0x8f, 0x31, 0x48, 0xd1, 0xff, 0xac, 0x00, 0x83, 0x7a};
    unsigned crc = 0xFFFF;
    for (int i = 0; i < 21; ++i)
        for (int b = 0; b < 8; ++b)
            crc = ((crc ^ (unsigned)(frame[i] >> b)) & 1U) ? (crc >> 1) ^ 0x8408U : crc >> 1;
    crc = ~crc & 0xFFFFU;
    frame[21] = (unsigned char)(crc & 0xFF);
    frame[22] = (unsigned char)(crc >> 8);

    for (int i = 0; i < 8; ++i)
        PutBit(1); /* ramp */
    for (int i = 0; i < 24; ++i)
        PutBit(i % 2); /* training */
    PutFlag();
    int ones = 0;
    for (int i = 0; i < 23; ++i) {
        for (int b = 0; b < 8; ++b) {
            int bit = (frame[i] >> b) & 1;
            PutBit(bit);
            ones = bit ? ones + 1 : 0;
            if (ones == 5) {
                PutBit(0);
                ones = 0;
            }
        }
    }
    PutFlag();
    for (int i = 0; i < 8; ++i)
        PutBit(0);

    /* NRZI, square levels, idle at the midline before and after. */
    static unsigned char samples[8192];
    int n = 0;
    int level = 1;
    for (int i = 0; i < 50; ++i)
        samples[n++] = 128;
    for (int k = 0; k < bitCount; ++k) {
        if (bits[k] == 0)
            level = -level;
        for (int s = 0; s < SamplesPerBit; ++s)
            samples[n++] = (unsigned char)(level > 0 ? 228 : 28);
    }
    for (int i = 0; i < 50; ++i)
        samples[n++] = 128;

    static unsigned char out[BRINECORE_OUTPUT_CAPACITY];
    int32_t peak = -1;
    if (ReInit(0) != 0) {
        fprintf(stderr, "ReInit did not return 0\n");
        return 1;
    }
    int32_t got = AudioToBytes(samples, n, out, SampleRate, 9600, &peak, 0);
    if (got != 25 || out[0] != 23 || out[1] != 0 || memcmp(out + 2, frame, 23) != 0) {
        fprintf(stderr, "expected one 23-byte frame block, got %d bytes\n", (int)got);
        return 1;
    }
    if (peak != 228) {
        fprintf(stderr, "peak %d, expected 228\n", (int)peak);
        return 1;
    }
    char message[16] = "unchanged";
    if (GetErrorMessage(message) != 0 || message[0] != '\0') {
        fprintf(stderr, "GetErrorMessage did not give an empty text\n");
        return 1;
    }
    printf("one frame of 23 bytes decoded through the C interface\n");
    return 0;
}
