// A scripted backend for the shared channel logic: every Os* call is logged on its
// FakePort, writes follow the port's script and the reader delivers injected bytes.
#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "serial/cx_serial.h"
#include "tests/serial/fake_port.h"

namespace tovra {

using test::FakePort;

namespace {

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, FakePort*>& Registry() {
    static std::map<std::string, FakePort*> ports;
    return ports;
}

}  // namespace

namespace test {

FakePort::FakePort(std::string name) : name_(std::move(name)) {
    std::lock_guard lock(RegistryMutex());
    Registry()[name_] = this;
}

FakePort::~FakePort() {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(name_);
}

FakePort* FakePort::Find(const std::string& name) {
    std::lock_guard lock(RegistryMutex());
    const auto it = Registry().find(name);
    return it == Registry().end() ? nullptr : it->second;
}

void FakePort::ScriptWrites(std::vector<WriteStep> steps) {
    std::lock_guard lock(mutex);
    script_.assign(steps.begin(), steps.end());
}

void FakePort::Inject(std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(mutex);
    inbox.push_back(std::move(bytes));
    wake.notify_all();
}

void FakePort::Lose() {
    std::lock_guard lock(mutex);
    lost = true;
    wake.notify_all();
}

std::vector<std::string> FakePort::Calls() const {
    std::lock_guard lock(mutex);
    return calls_;
}

std::vector<std::uint8_t> FakePort::Wire() const {
    std::lock_guard lock(mutex);
    return wire_;
}

void FakePort::Log(std::string call) {
    std::lock_guard lock(mutex);
    calls_.push_back(std::move(call));
}

FakePort::WriteStep FakePort::NextWrite(std::size_t size) {
    std::lock_guard lock(mutex);
    calls_.push_back("chunk " + std::to_string(size));
    if (script_.empty()) {
        return {Outcome::Ok, size};
    }
    const WriteStep step = script_.front();
    script_.pop_front();
    return step;
}

void FakePort::Take(const std::uint8_t* data, std::size_t count) {
    std::lock_guard lock(mutex);
    wire_.insert(wire_.end(), data, data + count);
}

}  // namespace test

struct CXSerial::Os {
    FakePort* port = nullptr;
    std::atomic<bool> open{false};
};

CXSerial::CXSerial() : os_(std::make_unique<Os>()) {}

CXSerial::~CXSerial() {
    Close();
}

bool CXSerial::OsOpen(const std::string& port) {
    os_->port = FakePort::Find(port);
    if (os_->port == nullptr) {
        SetError(SerialErrorKind::NotFound, "no fake port " + port);
        return false;
    }
    os_->port->Log("open");
    if (!os_->port->open_ok) {
        SetError(SerialErrorKind::Busy, "scripted open failure");
        return false;
    }
    os_->open = true;
    return true;
}

bool CXSerial::OsConfigure(unsigned baud, unsigned parity) {
    os_->port->Log("configure " + std::to_string(baud) + " " + std::to_string(parity));
    if (!os_->port->configure_ok) {
        SetError(SerialErrorKind::UnsupportedSetting, "scripted configure failure");
        return false;
    }
    return true;
}

void CXSerial::OsClose() {
    os_->port->Log("close");
    os_->open = false;
}

bool CXSerial::OsIsOpen() const {
    return os_->open;
}

CXSerial::IoResult CXSerial::OsWriteChunk(const std::uint8_t* data, std::size_t size,
                                          std::size_t& sent) {
    const FakePort::WriteStep step = os_->port->NextWrite(size);
    sent = std::min(step.accept, size);
    os_->port->Take(data, sent);
    switch (step.outcome) {
        case FakePort::Outcome::Ok:
            return IoResult::Ok;
        case FakePort::Outcome::TimedOut:
            return IoResult::TimedOut;
        case FakePort::Outcome::Failed:
            SetError(SerialErrorKind::IoError, "scripted write failure");
            return IoResult::Failed;
        case FakePort::Outcome::Gone:
            SetError(SerialErrorKind::DeviceGone, "scripted loss");
            return IoResult::Gone;
    }
    return IoResult::Failed;
}

bool CXSerial::OsPrepareReader() {
    os_->port->Log("prepare");
    std::lock_guard lock(os_->port->mutex);
    os_->port->stop = false;
    return os_->port->prepare_ok;
}

void CXSerial::OsSignalStop() {
    if (os_->port == nullptr) {
        return;
    }
    os_->port->Log("signal");
    std::lock_guard lock(os_->port->mutex);
    os_->port->stop = true;
    os_->port->wake.notify_all();
}

bool CXSerial::OsReadLoop() {
    FakePort& port = *os_->port;
    port.Log("loop-start");
    std::unique_lock lock(port.mutex);
    for (;;) {
        port.wake.wait(lock, [&] { return port.stop || port.lost || !port.inbox.empty(); });
        if (port.stop) {
            lock.unlock();
            std::this_thread::sleep_for(port.stop_delay);
            port.Log("loop-end");
            return false;
        }
        if (!port.inbox.empty()) {
            const std::vector<std::uint8_t> bytes = std::move(port.inbox.front());
            port.inbox.pop_front();
            lock.unlock();
            Deliver(bytes.data(), bytes.size());
            lock.lock();
            continue;
        }
        lock.unlock();
        SetError(SerialErrorKind::DeviceGone, "scripted loss");
        port.Log("loop-end");
        return true;
    }
}

void CXSerial::OsReleaseReader() {
    if (os_->port != nullptr) {
        os_->port->Log("release");
    }
}

}  // namespace tovra
