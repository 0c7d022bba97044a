/* Morvalib.dll: reads and writes the USB serial number, and reads the
 * firmware version, of printer-class printers through their IEEE 1284.4
 * ("D4") control channel.
 *
 * The four functions are exported by their undecorated names only (no
 * ordinal-only exports) and use the C calling convention. Every integer is
 * 32 bits, signed; every text is a NUL-terminated 8-bit string in the
 * system's ANSI code page; lengths count bytes. A call opens the printer
 * itself, does its work and closes the printer before it returns, on
 * success and failure alike; it shows nothing and never throws. A program
 * may keep its own handle to the same device open meanwhile. Calls from two
 * threads at once are not supported: make every call from one thread.
 *
 * Waiting: every device request ends within its bound whatever the driver
 * does (a read at once, or within the serial time-outs' wait for a first
 * byte; a write within 2,000 ms; a control request within 5,000 ms). While
 * a call waits, messages that other threads or programs send to the calling
 * thread's windows are handled, so a window calling from its own thread
 * stays responsive; posted messages stay in the queue. A printer that never
 * answers makes a call fail within seconds, not hang; whatever a printer
 * does (answering slowly, in many pieces, flooding the link), a call ends
 * within 21 seconds.
 *
 * Results: 0 on success, else one of the MORVALIB_E_ codes below; a code
 * means the same in every function that returns it. A required argument
 * that is null gives MORVALIB_E_ARGUMENT before any device is touched.
 *
 * Out-parameters: GetUSBSerialNumber and GetPrinterFirmwareVersion write
 * *length (the text's length + 1, its NUL counted) only when they return 0
 * or MORVALIB_E_BUFFER; on every other result it keeps what it held.
 * SendReceiveD4Command sets *replyLength to 0 as it starts, whatever then
 * happens, and to the reply's byte count on 0 or MORVALIB_E_BUFFER.
 *
 * Size protocol: a null buffer, or one smaller than needed, gives
 * MORVALIB_E_BUFFER with the needed size in the length and nothing copied
 * (the buffer keeps its bytes). The printer has been asked all the same: a
 * second call with a buffer of that size asks it again. So
 *   int n = 0;
 *   if (GetUSBSerialNumber(path, NULL, 0, &n, 0) == MORVALIB_E_BUFFER)
 *     ... allocate n bytes and call again ...
 * For an 18-character serial number n is 19.
 *
 * The library finds the printer by the USB socket the device path leads to,
 * traced through every hub on the way whatever hub driver runs it (with two
 * root hubs and no other hub than one on port 3 of the second, a printer on
 * port 2 of that hub is at "233020"): through the maker's channel API
 * when a spooler printer with that API sits on the socket and the spooler
 * runs, else by opening the
 * printer-class device file itself. Where several printer-class devices
 * share the socket (functions of one composite device), the device path's
 * own device is opened, never another. A device that cannot be traced, or
 * is not among those at its socket, gives MORVALIB_E_NO_PRINTER.
 *
 * Replies are handed out whole or not at all: a reply the printer sends in
 * several packets is read to its end, and a part is never reported as the
 * whole. Each call leaves the printer out of the packet protocol, whatever
 * failed, or fails itself when it could not tell the printer to leave it;
 * what an earlier call left unread is passed over, never taken for this
 * call's answer. */
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
#define MORVALIB_E_ARGUMENT (-1) /* a required argument is null or empty */
#define MORVALIB_E_BUFFER (-2)   /* buffer null or too small: the length holds the size needed */
#define MORVALIB_E_SEND                                                                     \
  (-3) /* the command could not be sent, or (on a printer reached by its device file, where \
          sending and receiving are one exchange) no whole reply came back, or the printer  \
          could not be told to leave the packet protocol */
#define MORVALIB_E_RECEIVE (-4)    /* the reply could not be received */
#define MORVALIB_E_REPLY_FORM (-5) /* the serial-number reply is not in the expected form */
#define MORVALIB_E_NOT_ACKED (-6)  /* the printer did not acknowledge the write */
#define MORVALIB_E_MEMORY (-8)     /* out of memory */
#define MORVALIB_E_NO_PRINTER (-9) /* no printer found or opened for the device path */
#define MORVALIB_E_NO_PACKET (-10) /* the printer does not run the packet protocol */
#define MORVALIB_E_FIRMWARE (-11)  /* no whole status in a known form came back */

/* devicePath: the printer-class device-interface path as the system's
 * device setup reports it: "\\?\", then the bus name, the vendor and
 * product part and the instance part, each ended by "#", then the
 * interface class ("\\?\usb#vid_...&pid_...#...#{...}"). A path of any
 * other form finds no printer: MORVALIB_E_NO_PRINTER.
 * model: 0 for the RK-L5200 and the models named in the program's INI
 * file, non-zero for the RK-L880; it only picks the command variant. */

/* One command (two letters, a 16-bit little-endian parameter length, the
 * parameters) on the printer's control channel, and its raw reply bytes,
 * not NUL-terminated. reply may be null (size query). MORVALIB_E_ARGUMENT
 * when devicePath, command or replyLength is null or commandLength is
 * negative; MORVALIB_E_NO_PRINTER, MORVALIB_E_MEMORY from opening;
 * MORVALIB_E_NO_PACKET when the printer's IEEE 1284 command set lacks
 * "D4" or the protocol does not start; MORVALIB_E_SEND (also when the
 * command does not fit the printer's packet, 58 bytes on the device file,
 * and when a reply longer than 64 KiB comes); MORVALIB_E_RECEIVE (also
 * when no memory is left for the reply); MORVALIB_E_BUFFER. */
int MORVALIB_CALL SendReceiveD4Command(const char* devicePath, const unsigned char* command,
                                       int commandLength, unsigned char* reply, int replySize,
                                       int* replyLength);

/* The printer's USB serial number as text. buffer may be null (size
 * query); length is required. MORVALIB_E_ARGUMENT when devicePath or
 * length is null; MORVALIB_E_REPLY_FORM when the printer's answer is not a
 * serial number (also when it is longer than 64 KiB: a reply that does not
 * fit is asked for again with a buffer 1,024 bytes larger, up to that
 * size); MORVALIB_E_BUFFER; and the codes of SendReceiveD4Command. */
int MORVALIB_CALL GetUSBSerialNumber(const char* devicePath, char* buffer, int bufferSize,
                                     int* length, int model);

/* Writes the first 18 characters of serialNumber as the new USB serial
 * number; the printer takes it into use at its next restart (the library
 * does not restart it). 0 once the printer acknowledged the number ("OK;"),
 * whatever the closing of the channel after it gave. MORVALIB_E_ARGUMENT,
 * with nothing sent, when devicePath or serialNumber is null or the text is
 * shorter than 18 characters (empty included). MORVALIB_E_NOT_ACKED when
 * the printer does not acknowledge; MORVALIB_E_BUFFER when its reply was
 * longer than 1,024 bytes; and the codes of SendReceiveD4Command.
 * Nothing was written after MORVALIB_E_ARGUMENT, MORVALIB_E_MEMORY,
 * MORVALIB_E_NO_PRINTER and MORVALIB_E_NO_PACKET: the command never went
 * out. After MORVALIB_E_SEND, MORVALIB_E_RECEIVE, MORVALIB_E_BUFFER and
 * MORVALIB_E_NOT_ACKED the command may have reached the printer (a printer
 * that took it and never answered holds the new number all the same):
 * restart the printer and read the number back to know. */
int MORVALIB_CALL SetUSBSerialNumber(const char* devicePath, const char* serialNumber, int model);

/* The printer's firmware version (at most 31 characters; empty when its
 * status carries none) as text. buffer may be null (size query); length is
 * required. Works on printers without the packet protocol too (the status
 * is then asked for on the plain data path, after what the printer held
 * from before is read away). MORVALIB_E_ARGUMENT when devicePath or length
 * is null; MORVALIB_E_NO_PRINTER, MORVALIB_E_MEMORY from opening;
 * MORVALIB_E_FIRMWARE when the printer cannot be asked, or no whole status
 * in a known form arrives (a status without its closing byte is not one);
 * MORVALIB_E_BUFFER. */
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
