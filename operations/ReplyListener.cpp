#include "operations/ReplyListener.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <array>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Error.h"
#include "platform/UdpSocket.h"

namespace quillon {

namespace {

// Datagrams taken from the kernel per system call.
constexpr unsigned BurstSlots = 64;

}  // namespace

ReplyListener::ReplyListener(QObject* parent) : QObject(parent) {}

ReplyListener::~ReplyListener() { Stop(); }

void ReplyListener::Start(const Options& options)
{
    if (thread_.joinable())
        return;
    options_ = options;
    auto socket = std::make_unique<UdpSocket>();
    socket->Bind(options_.address, options_.port);
    effectiveBuffer_ = socket->SetReceiveBuffer(options_.receiveBufferRequest, ::geteuid() == 0);
    socket->SetNonBlocking(true);

    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        throw PlatformError("Cannot create the listener's wake-up event");
    socket_ = std::move(socket);
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
}

void ReplyListener::Stop()
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        spaceFreed_.notify_all();
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
    socket_.reset();
}

void ReplyListener::Run()
{
    // One byte more than the largest datagram handed on, so that MSG_TRUNC
    // marks every datagram that is too long.
    constexpr std::size_t SlotSize = MaxDatagramSize + 1;
    std::vector<Byte> buffers(BurstSlots * SlotSize);
    std::array<iovec, BurstSlots> iov{};
    std::array<mmsghdr, BurstSlots> messages{};

    pollfd fds[2] = {{socket_->Descriptor(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    while (!stopping_) {
        for (unsigned i = 0; i < BurstSlots; ++i) {
            iov[i] = {buffers.data() + i * SlotSize, SlotSize};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &iov[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int count = ::recvmmsg(socket_->Descriptor(), messages.data(), BurstSlots, MSG_DONTWAIT, nullptr);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                ::poll(fds, 2, -1);
            } else {
                // Keep receiving; pause briefly so that a lasting error
                // cannot turn into a busy loop.
                ++receiveErrors_;
                ::poll(fds + 1, 1, 10);
            }
            continue;
        }

        std::unique_lock lock(mutex_);
        for (int i = 0; i < count; ++i) {
            const std::size_t length = messages[static_cast<std::size_t>(i)].msg_len;
            if (length == 0)
                continue;
            if (length > MaxDatagramSize || (messages[static_cast<std::size_t>(i)].msg_hdr.msg_flags & MSG_TRUNC)) {
                ++droppedOversize_;
                continue;
            }
            // Hand-over full: wait for the user-interface thread. Meanwhile
            // the kernel buffer takes the load.
            spaceFreed_.wait(lock, [this] {
                return stopping_ || (shared_.ends.size() < options_.maxPendingDatagrams &&
                                     shared_.bytes.size() < options_.maxPendingBytes);
            });
            if (stopping_)
                return;
            const Byte* data = buffers.data() + static_cast<std::size_t>(i) * SlotSize;
            shared_.bytes.insert(shared_.bytes.end(), data, data + length);
            shared_.ends.push_back(static_cast<std::uint32_t>(shared_.bytes.size()));
            ++received_;
            if (shared_.ends.size() > peakPending_.load(std::memory_order_relaxed))
                peakPending_.store(shared_.ends.size(), std::memory_order_relaxed);
            if (!deliveryPosted_) {
                deliveryPosted_ = true;
                QMetaObject::invokeMethod(this, &ReplyListener::Deliver, Qt::QueuedConnection);
            }
        }
    }
}

void ReplyListener::Deliver()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (cursor_ == delivering_.ends.size()) {
            {
                std::lock_guard lock(mutex_);
                delivering_.Clear();
                cursor_ = 0;
                if (shared_.Empty()) {
                    deliveryPosted_ = false;
                    return;
                }
                std::swap(delivering_, shared_);
            }
            spaceFreed_.notify_one();
        }
        const std::size_t begin = cursor_ == 0 ? 0 : delivering_.ends[cursor_ - 1];
        const std::size_t end = delivering_.ends[cursor_];
        ++cursor_;
        ++handled_;
        if (handler_)
            handler_(delivering_.bytes.data() + begin, end - begin);
        if (clock.elapsed() >= options_.sliceMilliseconds) {
            // Let the event loop breathe; the rest follows in order.
            QMetaObject::invokeMethod(this, &ReplyListener::Deliver, Qt::QueuedConnection);
            return;
        }
    }
}

}  // namespace quillon
