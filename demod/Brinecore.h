/*
 * Brinecore: AIS sample-to-byte demodulator (ITU-R M.1371 GMSK at 9600 bit/s,
 * HDLC framing per ISO/IEC 13239), as a plain C interface.
 *
 * The library turns blocks of 8-bit discriminator audio into the bytes of the
 * HDLC frames found in them. It keeps one demodulator state per process, so a
 * transmission may begin in one block and end in a later one. It does not
 * check the frame check sequence; that is the caller's job.
 *
 * Threading: the functions share one static state and are not re-entrant.
 * Call them from one thread at a time, for one stream of audio at a time.
 *
 * Memory: everything that crosses the interface belongs to the caller. The
 * library keeps no pointer after a call returns.
 */
#ifndef BRINECORE_H
#define BRINECORE_H

#include <stdint.h>

/* 32-bit Windows callers expect the callee to pop its arguments (__stdcall);
 * everywhere else the platform's default convention is used. */
#if defined(_WIN32) && !defined(_WIN64)
#define BRINECORE_CALL __stdcall
#else
#define BRINECORE_CALL
#endif

/* The DLL's exports come from its .def file alone: a function whose
 * convention or arguments no longer match it then fails the 32-bit link,
 * where dllexport would have it exported under its plain name all the same. */
#if defined(_WIN32)
#if defined(BRINECORE_BUILDING)
#define BRINECORE_API
#else
#define BRINECORE_API __declspec(dllimport)
#endif
#else
#define BRINECORE_API __attribute__((visibility("default")))
#endif

/* Bytes that AudioToBytes may write in one call. The output buffer passed to
 * it must hold at least this many bytes. */
#define BRINECORE_OUTPUT_CAPACITY 8192

/* Longest frame, in bytes, that AudioToBytes delivers (the FCS included). */
#define BRINECORE_MAX_FRAME 126

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Demodulates one block of samples and writes every frame completed in it.
 *
 * Samples      unsigned 8-bit mono PCM, midline 127.5 (128 and above is
 *              "high"). SampleCount bytes are read. NULL is taken as an empty
 *              block.
 * SampleCount  number of samples in the block; 0 or less is an empty block.
 * OutBuffer    receives this call's output from offset 0: a sequence of
 *              blocks, each a 16-bit little-endian length N followed by N
 *              bytes. A frame block holds the bytes between the opening and
 *              the closing flag (0 to 126 bytes, de-stuffed, each assembled
 *              least significant bit first, the two FCS bytes last as
 *              received). A text block (only while tracing) holds ASCII text
 *              that begins with '*' and ends with '\n'. At most
 *              BRINECORE_OUTPUT_CAPACITY bytes are written, however many
 *              samples are passed: frames take precedence over trace text
 *              (text written earlier in the same call is removed to make room
 *              for a frame, and text that does not fit is dropped); a frame
 *              is lost only when the frames of this call alone fill the
 *              buffer. NULL discards all output.
 * SampleRate   samples per second, read only by the call that initialises.
 * BaudRate     bits per second (9600 for AIS), read only by the call that
 *              initialises. When either rate is 0 or less, the stream yields
 *              no output until the next initialisation.
 * PeakLevel    receives the block's largest sample, 0 for an empty block.
 *              May be NULL.
 * TraceFlag    1 traces this call: text blocks in the output and, when the
 *              initialisation was traced, a bit-level trace file. Any other
 *              value traces nothing.
 *
 * Returns the number of bytes written to OutBuffer (0 when nothing was
 * completed). Never fails.
 *
 * The first call, and the first call after ReInit, initialises the
 * demodulator. If that call has no samples, the stream's first sample is the
 * first sample of the next non-empty block. When it traces, it (re)creates
 * the trace file: on Windows e:\Scanner\Kelvane\debug.txt, elsewhere
 * $XDG_STATE_HOME/Kelvane/debug.txt (default ~/.local/state/Kelvane), its
 * folder created when missing. A trace file that cannot be created is
 * skipped. The trace file is flushed at the end of every call and closed at
 * the next initialisation or when the library unloads.
 */
BRINECORE_API int32_t BRINECORE_CALL AudioToBytes(const uint8_t *Samples, int32_t SampleCount,
                                                  uint8_t *OutBuffer, int32_t SampleRate,
                                                  int32_t BaudRate, int32_t *PeakLevel,
                                                  int32_t TraceFlag);

/*
 * Marks the demodulator for initialisation by the next AudioToBytes call,
 * which takes the sample and bit rates afresh. Call it before every new
 * stream. The argument is kept but has no meaning (pass 0). Returns 0.
 */
BRINECORE_API int32_t BRINECORE_CALL ReInit(int32_t Unused);

/*
 * Copies the library's error text and a terminating NUL into Buffer and
 * returns the text's length. No operation sets an error, so the text is
 * always empty: one byte (the NUL) is written and 0 returned. NULL is
 * accepted and nothing is written.
 */
BRINECORE_API int32_t BRINECORE_CALL GetErrorMessage(char *Buffer);

/* Function pointer types for callers that load the library at run time. */
typedef int32_t(BRINECORE_CALL *BrinecoreAudioToBytesFn)(const uint8_t *, int32_t, uint8_t *,
                                                         int32_t, int32_t, int32_t *, int32_t);
typedef int32_t(BRINECORE_CALL *BrinecoreReInitFn)(int32_t);
typedef int32_t(BRINECORE_CALL *BrinecoreGetErrorMessageFn)(char *);

#ifdef __cplusplus
}
#endif

#endif /* BRINECORE_H */
