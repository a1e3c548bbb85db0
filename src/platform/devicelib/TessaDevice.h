/*
 * The recorder's device library, libTessaDevice.so: the four exports the program loads at run time.
 * The interface is plain C so that a library from the recorder's maker with the same exports can replace
 * the one built here.
 *
 * The library reports through a notification sink that it calls from a thread of its own:
 *
 *   event 0 (link state)       data 1 = recorder connected, anything else = not connected
 *   event 1 (parameter report) data bits 0-15 = report number, bits 16-31 = value (unsigned 16-bit)
 *   event 2 (write done)       data bits 0-15 = the request number that VX7Device_WriteAll returned
 *
 * Every call returns non-zero on success. After VX7Device_Free returns, the sink is never called again.
 */
#ifndef TESSA_DEVICE_H
#define TESSA_DEVICE_H

#include <stdint.h>

#if defined(__GNUC__)
#define TESSA_DEVICE_API __attribute__((visibility("default")))
#else
#define TESSA_DEVICE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { TESSA_DEVICE_EVENT_LINK = 0, TESSA_DEVICE_EVENT_REPORT = 1, TESSA_DEVICE_EVENT_WRITTEN = 2 };

/* Returned in *requestNumber when a write is not pending. */
#define TESSA_DEVICE_NO_REQUEST 0xFFFFFFFFu

/*
 * The 128-byte parameter record: 32 signed 32-bit little-endian fields. Their meaning and the report
 * number of each are the program's (device/DeviceParameters.h); the library stores and reports them
 * as they are and never looks past the 128 bytes.
 */
struct tagDeviceParameters;

/* The sink may be called from any thread and must not call back into the library. */
typedef void (*TessaDeviceNotify)(void* context, unsigned int event, long data);

/* Opens the link; the link state follows as event 0. Returns 0 when notify is null or the link is
 * already open (the open link and its sink stay as they are). */
TESSA_DEVICE_API int VX7Device_Init(TessaDeviceNotify notify, void* context);

/* Starts reading every parameter; the values follow as events 1. Returns 0 when no recorder is
 * connected. */
TESSA_DEVICE_API int VX7Device_ReadAll(void);

/* Copies the record and starts writing it; event 2 with the request number follows. Returns 0 when no
 * recorder is connected, and then *requestNumber is TESSA_DEVICE_NO_REQUEST. Request numbers fit in
 * 16 bits so that the acknowledgement carries them whole. */
TESSA_DEVICE_API int VX7Device_WriteAll(const struct tagDeviceParameters* parameters,
                                        uint32_t* requestNumber);

/* Closes the link and waits for the library's thread to end. Returns 0 when no link was open. */
TESSA_DEVICE_API int VX7Device_Free(void);

#ifdef __cplusplus
}
#endif

#endif
