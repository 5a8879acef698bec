#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tovra {

enum class SerialErrorKind {
    None,
    NotFound,
    Busy,
    PermissionDenied,
    UnsupportedSetting,
    IoError,
    DeviceGone,
};

struct SerialError {
    SerialErrorKind kind = SerialErrorKind::None;
    std::string message;  // what happened and, where there is one, what to do about it
};

const char* SerialErrorKindName(SerialErrorKind kind);

// Windows COM port names: "COMn" -> n (the digits after the first 'M', none gives 0), and
// n -> the name CreateFile needs ("COM9", "\\.\COM10"). Pure, so testable everywhere.
unsigned ComPortNumber(const std::string& text);
std::string ComPortDeviceName(unsigned n);

// A serial port channel: opens a port exclusively with a speed and parity (8 data bits,
// 1 stop bit, no flow control), writes byte blocks in bounded chunks, and runs a reader
// thread that hands every received byte, in order, to OnByte. Failures are bool results;
// LastError() says why.
//
// The destructor is not virtual: owners delete through the derived type, and a derived
// class must call Close() in its own destructor while its OnByte is still in force.
class CXSerial {
  public:
    static constexpr std::size_t kChunkSize = 1024;
    static constexpr int kChunkTimeoutMs = 1000;
    static constexpr int kMaxChunkAttempts = 3;  // consecutive time-outs or errors per chunk
    static constexpr int kReaderStopGraceMs = 200;

    CXSerial();
    ~CXSerial();
    CXSerial(const CXSerial&) = delete;
    CXSerial& operator=(const CXSerial&) = delete;

    bool IsOpen() const;
    // Same port already open: only speed and parity change. Otherwise a full OpenPort.
    bool Open(const std::string& port, unsigned baud, unsigned parity);
    bool OpenPort(const std::string& port, unsigned baud, unsigned parity);
    bool SetState(unsigned baud, unsigned parity);
    // Always true. Stops the reader first. Must not be called from OnByte or OnPortLost.
    bool Close();
    bool Write(const std::uint8_t* data, std::size_t length);
    bool StartReader();
    bool StopReader();

    SerialError LastError() const;
    std::string PortName() const;

  protected:
    // Reader thread: one call per received byte, in arrival order.
    virtual void OnByte(unsigned char b) = 0;
    // Reader thread: the device went away (unplugged adapter, closed peer). Called once;
    // the reader has ended. The owner closes the channel from its own thread.
    virtual void OnPortLost() {}

  private:
    // OS handles; defined by the backend, which for that reason also defines the
    // constructor and destructor (std::unique_ptr needs the complete type there).
    struct Os;

    enum class IoResult { Ok, TimedOut, Failed, Gone };

    // Backend: implemented once per OS in cx_serial_posix.cpp / cx_serial_win32.cpp.
    bool OsOpen(const std::string& port);  // exclusive open, purge both directions; sets the error
    bool OsConfigure(unsigned baud, unsigned parity);  // device control settings; sets the error
    void OsClose();
    bool OsIsOpen() const;
    // Hands bytes to the port, waiting at most kChunkTimeoutMs; sent counts what went out.
    IoResult OsWriteChunk(const std::uint8_t* data, std::size_t size, std::size_t& sent);
    bool OsPrepareReader();  // stop event and whatever the reader waits on
    void OsSignalStop();
    // The reader thread's body: sleeps until bytes arrive or the stop is signalled, hands
    // bytes to Deliver. Returns true when it ended because the device went away.
    bool OsReadLoop();
    void OsReleaseReader();

    void ReaderMain();
    void Deliver(const std::uint8_t* data, std::size_t count);
    void SetError(SerialErrorKind kind, std::string message);

    std::unique_ptr<Os> os_;
    std::string port_;
    unsigned baud_ = 9600;
    unsigned parity_ = 0;

    std::mutex write_lock_;  // serialises Write

    std::thread reader_;
    std::mutex reader_mutex_;
    std::condition_variable reader_ended_cv_;
    bool reader_ended_ = true;

    mutable std::mutex error_mutex_;
    SerialError last_error_;
};

}  // namespace tovra
