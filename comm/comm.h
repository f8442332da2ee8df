#pragma once
// TComm: the record of one COM port, and the plain operations on it.
// The record holds what the port is to be (the line-setting indexes), the
// platform's line-settings block and the text of its last failure. Results
// follow the documented sense: OpenComm answers true on success.

#include <cstdint>
#include <memory>
#include <string>

#include "comm/serial_device.h"
#include "core/clock.h"

namespace varnox {

// Index tables of the line settings.
inline constexpr uint8_t kBaudIndex38400 = 9;
inline constexpr uint8_t kParityEven = 2;
inline constexpr uint8_t kByteSize8 = 4;
inline constexpr uint8_t kOneStopBit = 0;
// Bits per second by BaudIndex 0..12; an index above 12 keeps the device's rate.
inline constexpr uint32_t kBaudRates[13] = {110,   300,   600,   1200,  2400,   4800,  9600,
                                            14400, 19200, 38400, 56000, 128000, 256000};

// The flag word of the line settings: raw transfer, parity checking on,
// transmit continues after XOFF; no flow control, DTR and RTS inactive.
inline constexpr uint32_t kDcbFlags = 0x83;

struct TComm {
    int32_t Port = 0;
    int Handle = -1;  // -1 when closed; the open device's OS handle otherwise
    uint8_t BaudIndex = 0;
    uint8_t ParityIndex = 0;
    uint8_t ByteSizeIndex = 0;
    uint8_t StopBitsIndex = 0;
    uint8_t FlowIndex = 0;
    uint16_t InQueueSize = 0;
    uint16_t OutQueueSize = 0;
    PlatformLineSettings Dcb{};
    std::string ErrorText;

    // Beyond the documented record: the open device itself, and why the last
    // open failed in the system's own words (shown as a box's detail text).
    std::unique_ptr<SerialDevice> Device;
    std::string OpenFailureReason;
};

inline constexpr const char* kOpenFailedText = "Device identifier is invalid or unsupported";
inline constexpr const char* kCloseFailedText = "can't close the comm !!";

// Opens and configures the port `comm.Port` through `opener`; true = opened.
// A device the record still holds is released first; a device that opened
// but could not be configured is closed again (OpenFailureReason says why).
bool OpenComm(TComm& comm, PortOpener& opener);
void CloseComm(TComm& comm);
// Sends `count` bytes; a failure (also on a closed record) sets ErrorText.
void WriteComm(TComm& comm, const uint8_t* bytes, uint16_t count);
// Reads at most `count` waiting bytes into `destination`; returns how many
// were actually delivered (0 on a closed record or a failure).
long ReadComm(TComm& comm, uint8_t* destination, uint16_t count);
// Received bytes waiting; 0 when closed or when the device failed. The error
// flags stay with the device for the next CommErrorText.
int32_t BytesWaiting(TComm& comm);
// Discards what is waiting; bounded (1 s or 64 KiB) so a chattering line cannot hold it.
void FlushInput(TComm& comm, Clock& clock);
// Writes the record's indexes and the flag word into comm.Dcb (platform file).
void ApplyLineSettings(TComm& comm);
std::string OpenErrorText(int32_t code);
std::string CommErrorText(TComm& comm);

// Waits (without burning the CPU) until more than `seen` bytes are waiting on
// an open port or `timeout_seconds` has passed. A closed port just times out
// on the clock, so callers' deadlines still hold.
WaitResult WaitForInput(TComm& comm, Clock& clock, long seen, double timeout_seconds);

// Initialises `comm` with the panel's fixed line settings for port `port`:
// 38400 baud, 8 data bits, even parity, 1 stop bit, no flow control.
void InitPanelLineSettings(TComm& comm, int port);

// Time stamps: seconds on the injected monotonic clock, to the millisecond.
double TimeOfDay(Clock& clock);
double ElapsedSeconds(Clock& clock, double stamp);

}  // namespace varnox
