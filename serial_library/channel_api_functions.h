/* The maker's channel API as the serial-number library calls it: nine C
 * functions (C calling convention) bound by name from the library file a
 * spooler printer's driver names. Every text is 8-bit; integers are 32-bit.
 *
 * Sized calls: with a null buffer the function returns ZQ_E_SIZE and writes
 * the size it needs (in bytes) to *size; the caller then passes a buffer of
 * at least that many bytes with *size set to the buffer's size. */
#ifndef CHANNEL_API_FUNCTIONS_H
#define CHANNEL_API_FUNCTIONS_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZQAPI_CALL __cdecl
#else
#define ZQAPI_CALL
#endif

/* The answer of a sized call made with a null buffer. */
#define ZQ_E_SIZE (-4)
/* The first argument of the calls that name a printer. */
#define ZQ_PRINTER_BY_NAME 1
/* Channel types. */
#define ZQ_CHANNEL_CONTROL 0x10000005u
#define ZQ_CHANNEL_DATA 0x10010003u
/* One entry of the channel list: a 32-bit channel type, then a 16-bit value
 * (non-zero when the channel can be used), then two bytes of padding. */
#define ZQ_CHANNEL_ENTRY_SIZE 8

/* Negative: failure; 0 or positive: ready. */
typedef int(ZQAPI_CALL* ZQInitializeFn)(void);
/* Result ignored. */
typedef int(ZQAPI_CALL* ZQReleaseFn)(void);
/* Sized; positive: the number of entries written. */
typedef int(ZQAPI_CALL* ZQGetAvailableChannelFn)(int byName, const char* printer,
                                                 unsigned char* buffer, int* size);
/* Positive: the channel handle. */
typedef int(ZQAPI_CALL* ZQOpenChannelFn)(int byName, const char* printer, unsigned int channelType);
/* Result ignored. */
typedef int(ZQAPI_CALL* ZQCloseChannelFn)(int channel);
/* Sized; waits up to waitMs; positive: the number of bytes received. */
typedef int(ZQAPI_CALL* ZQReceiveFn)(int channel, unsigned char* buffer, int* size, int waitMs);
/* Positive: sent. */
typedef int(ZQAPI_CALL* ZQSendFn)(int channel, const unsigned char* bytes, int count);
/* Sized; 0 or positive: the status was written, its length in *size. */
typedef int(ZQAPI_CALL* ZQGetStatusFn)(int channel, unsigned char* buffer, int* size);
/* Sized; 0: the NUL-terminated IEEE 1284 device ID was written. */
typedef int(ZQAPI_CALL* ZQGetDeviceIDFn)(int byName, const char* printer, char* buffer, int* size);

#ifdef __cplusplus
}
#endif

#endif /* CHANNEL_API_FUNCTIONS_H */
