// The listener on the reply port.
//
// One socket bound once to 0.0.0.0:ReplyPort, drained by a thread of its own
// that does nothing per datagram but copy it. Datagrams reach the
// user-interface thread in arrival order, in batches, where the handler runs
// for each one; so the handling of a datagram never interleaves with any
// other work on the table, and it goes on inside the nested event loops of
// modal dialogs.
//
// Bounded hand-over: when the user-interface thread falls behind and the
// pending batch is full, the thread stops reading and the kernel's receive
// buffer absorbs (or, past its size, drops) the rest. The program's own
// memory never grows without limit.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Wire.h"

namespace quillon {

class UdpSocket;

class ReplyListener : public QObject {
    Q_OBJECT

public:
    struct Options {
        std::string address = "0.0.0.0";
        std::uint16_t port = ReplyPort;
        // Asked for after binding; the kernel reports back twice the value.
        int receiveBufferRequest = 16 * 1024 * 1024;
        // Limits of the batch waiting for the user-interface thread.
        std::size_t maxPendingDatagrams = 32768;
        std::size_t maxPendingBytes = 8 * 1024 * 1024;
        // Time the user-interface thread spends on one slice of a batch
        // before it lets other events run.
        int sliceMilliseconds = 15;
    };

    // Called on the user-interface thread for each datagram, 1 to 1024
    // bytes long.
    using Handler = std::function<void(const Byte* bytes, std::size_t length)>;

    explicit ReplyListener(QObject* parent = nullptr);
    ~ReplyListener() override;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    // Binds and starts the thread. Throws PlatformError with the socket
    // layer's text when the port cannot be bound. Starts once.
    void Start(const Options& options);
    void Start() { Start(Options{}); }
    // Stops the thread and closes the socket; also done by the destructor.
    void Stop();

    bool IsActive() const { return thread_.joinable(); }
    // The receive buffer the kernel granted, in bytes.
    int EffectiveReceiveBuffer() const { return effectiveBuffer_; }

    // Counters, readable from any thread.
    std::uint64_t Received() const { return received_.load(); }
    std::uint64_t DroppedOversize() const { return droppedOversize_.load(); }
    std::uint64_t ReceiveErrors() const { return receiveErrors_.load(); }
    std::uint64_t Handled() const { return handled_; }
    // The most datagrams that ever waited for the user-interface thread.
    std::size_t PeakPending() const { return peakPending_.load(); }

private:
    struct Batch {
        std::vector<Byte> bytes;
        std::vector<std::uint32_t> ends;  // end offset of each datagram
        void Clear()
        {
            bytes.clear();
            ends.clear();
        }
        bool Empty() const { return ends.empty(); }
    };

    void Run();
    void Deliver();

    Options options_;
    Handler handler_;
    std::unique_ptr<UdpSocket> socket_;
    int wakeFd_ = -1;
    int effectiveBuffer_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    // Shared between the threads, under mutex_.
    std::mutex mutex_;
    std::condition_variable spaceFreed_;
    Batch shared_;
    bool deliveryPosted_ = false;

    // User-interface thread only.
    Batch delivering_;
    std::size_t cursor_ = 0;
    std::uint64_t handled_ = 0;

    std::atomic<std::uint64_t> received_{0};
    std::atomic<std::uint64_t> droppedOversize_{0};
    std::atomic<std::uint64_t> receiveErrors_{0};
    std::atomic<std::size_t> peakPending_{0};
};

}  // namespace quillon
