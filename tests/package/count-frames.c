/* A program of someone else's, built against the installed development
 * files alone (cc count-frames.c -lBrinecore): reads an 8-bit mono PCM WAV
 * file, runs it through the library in blocks and counts the frames whose
 * frame check sequence is good and bad.
 *
 *   count-frames FILE.wav   ->   "N good, M bad" on standard output */
#include <Brinecore.h>

#include <stdio.h>
#include <string.h>

static unsigned Le(const unsigned char *p, int bytes)
{
    unsigned value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

/* CRC-16/X.25 over the frame with its FCS leaves this residue when good. */
static int FcsGood(const unsigned char *frame, unsigned length)
{
    unsigned crc = 0xFFFF;
    for (unsigned i = 0; i < length; ++i)
        for (int b = 0; b < 8; ++b)
            crc = ((crc ^ (unsigned)(frame[i] >> b)) & 1U) ? (crc >> 1) ^ 0x8408U : crc >> 1;
    return crc == 0xF0B8;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: count-frames FILE.wav\n");
        return 2;
    }
    FILE *file = fopen(argv[1], "rb");
    if (file == NULL) {
        perror(argv[1]);
        return 1;
    }
    unsigned char header[12];
    if (fread(header, 1, 12, file) != 12 || memcmp(header, "RIFF", 4) != 0 ||
        memcmp(header + 8, "WAVE", 4) != 0) {
        fprintf(stderr, "%s: not a WAV file\n", argv[1]);
        return 1;
    }
    /* The chunks up to the samples: the format, then the data. */
    unsigned rate = 0, channels = 0, bits = 0;
    unsigned char chunk[8];
    for (;;) {
        if (fread(chunk, 1, 8, file) != 8) {
            fprintf(stderr, "%s: no data chunk\n", argv[1]);
            return 1;
        }
        const unsigned size = Le(chunk + 4, 4);
        if (memcmp(chunk, "data", 4) == 0)
            break;
        unsigned char format[16];
        if (memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            if (fread(format, 1, 16, file) != 16)
                return 1;
            channels = Le(format + 2, 2);
            rate = Le(format + 4, 4);
            bits = Le(format + 14, 2);
            fseek(file, (long)(size - 16 + (size & 1)), SEEK_CUR);
        } else {
            fseek(file, (long)(size + (size & 1)), SEEK_CUR);
        }
    }
    if (channels != 1 || bits != 8 || rate == 0) {
        fprintf(stderr, "%s: not 8-bit mono\n", argv[1]);
        return 1;
    }

    static unsigned char samples[8192];
    static unsigned char out[BRINECORE_OUTPUT_CAPACITY];
    int good = 0, bad = 0;
    ReInit(0);
    size_t n;
    while ((n = fread(samples, 1, sizeof samples, file)) > 0) {
        const int32_t length =
            AudioToBytes(samples, (int32_t)n, out, (int32_t)rate, 9600, NULL, 0);
        for (int32_t p = 0; p + 2 <= length;) {
            const unsigned block = Le(out + p, 2);
            if (block >= 3)
                FcsGood(out + p + 2, block) ? ++good : ++bad;
            p += 2 + (int32_t)block;
        }
    }
    fclose(file);
    printf("%d good, %d bad\n", good, bad);
    return 0;
}
