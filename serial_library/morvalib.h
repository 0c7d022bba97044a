/* Morvalib.dll: reads and writes the USB serial number, and reads the
 * firmware version, of printer-class printers through their IEEE 1284.4
 * control channel.
 *
 * The four functions are exported by their undecorated names and use the C
 * calling convention. Every integer is 32 bits, signed; every text is a
 * NUL-terminated 8-bit string in the system's ANSI code page. A call opens
 * the printer itself, does its work and closes the printer before it
 * returns; it shows nothing and never throws. Calls from two threads at once
 * are not supported.
 *
 * Results: 0 on success, else one of the MORVALIB_E_ codes below. */
#ifndef MORVALIB_H
#define MORVALIB_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define MORVALIB_CALL __cdecl
#else
#define MORVALIB_CALL
#endif

#define MORVALIB_OK 0
#define MORVALIB_E_ARGUMENT (-1)     /* a required argument is null or empty */
#define MORVALIB_E_BUFFER (-2)       /* buffer null or too small: the length holds the size needed */
#define MORVALIB_E_SEND (-3)         /* the command could not be sent */
#define MORVALIB_E_RECEIVE (-4)      /* the reply could not be received */
#define MORVALIB_E_REPLY_FORM (-5)   /* the serial-number reply is not in the expected form */
#define MORVALIB_E_NOT_ACKED (-6)    /* the printer did not acknowledge the write */
#define MORVALIB_E_MEMORY (-8)       /* out of memory */
#define MORVALIB_E_NO_PRINTER (-9)   /* no printer found or opened for the device path */
#define MORVALIB_E_NO_PACKET (-10)   /* the printer does not run the packet protocol */
#define MORVALIB_E_FIRMWARE (-11)    /* the firmware version could not be read */

/* devicePath: the printer-class interface path ("\\?\usb#...#...#{...}").
 * model: 0 for the RK-L5200 and the models named in the program's INI
 * file, non-zero for the RK-L880. */

/* One command on the printer's control channel; the raw reply bytes. */
int MORVALIB_CALL SendReceiveD4Command(const char* devicePath, const unsigned char* command,
                                       int commandLength, unsigned char* reply, int replySize,
                                       int* replyLength);

/* The printer's USB serial number as text; *length receives its length + 1. */
int MORVALIB_CALL GetUSBSerialNumber(const char* devicePath, char* buffer, int bufferSize,
                                     int* length, int model);

/* Writes the first 18 characters of serialNumber as the new USB serial
 * number; the printer takes it into use at its next restart. */
int MORVALIB_CALL SetUSBSerialNumber(const char* devicePath, const char* serialNumber, int model);

/* The printer's firmware version as text; *length receives its length + 1. */
int MORVALIB_CALL GetPrinterFirmwareVersion(const char* devicePath, char* buffer, int bufferSize,
                                            int* length);

/* The entry points as a program binds them by name. */
typedef int(MORVALIB_CALL* SendReceiveD4CommandFn)(const char*, const unsigned char*, int,
                                                   unsigned char*, int, int*);
typedef int(MORVALIB_CALL* GetUSBSerialNumberFn)(const char*, char*, int, int*, int);
typedef int(MORVALIB_CALL* SetUSBSerialNumberFn)(const char*, const char*, int);
typedef int(MORVALIB_CALL* GetPrinterFirmwareVersionFn)(const char*, char*, int, int*);

#ifdef __cplusplus
}
#endif

#endif /* MORVALIB_H */
