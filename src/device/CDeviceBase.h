#pragma once

#include "device/CDeviceLinkHID.h"
#include "device/CDeviceLinkSocket.h"
#include "device/CDeviceLinkUart.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <vector>

// The one object the tool talks to: the three links at once, the first that
// connects as the active link, the unit's status polled every 100 ms, online
// and offline decided, the unit's identity decoded, firmware transfers run
// through the boot loader, and everything reported as numbered events.
//
// Events: 0 link up (1) / down (0); 1 online (1) / offline (0); 3 transfer
// begins; 4 transfer ends (1 success, 0 failure); 5 transfer progress in
// percent; 6 status marker changed. Protocol objects raise their own
// notifications (301..307) through Notify.
//
// Thread safety: Read, Write, Notify, RequestTransfer and the accessors may be
// called from any thread. Handlers run on the raising thread and must be
// quick: post, set a flag, or take or release their own semaphore; they must
// never call OnLinkState or OnOnline. Locks: the exchange lock is always taken
// before a link's transaction mutex; the arbitration lock only around
// OnLinkState and OnOnline, never across a transaction.
class CDeviceBase : public CDeviceLinkHID, public CDeviceLinkSocket, public CDeviceLinkUart {
public:
    using Callback = int32_t (*)(int32_t event, int32_t value, void* userData);

    static constexpr int32_t kNoLink = 10;
    static constexpr uint16_t kNoUnit = 256;
    static constexpr uint8_t kUnitAddress = 31;
    static constexpr int32_t kMissLimit = 10;
    // The classic protocol numbers its 32-byte blocks in 16 bits; a larger
    // image fails its transfer without erasing the unit.
    static constexpr uint32_t kClassicMaxImageBytes = 65536u * 32u;

    enum Event : int32_t {
        kEventLink = 0,
        kEventOnline = 1,
        kEventTransferBegin = 3,
        kEventTransferEnd = 4,
        kEventTransferProgress = 5,
        kEventMarker = 6,
    };

    struct Options {
        uint16_t socketPort = CDeviceLinkSocket::kDefaultPort;
        int32_t socketReplyWindowMs = CDeviceLinkSocket::kReplyWindowMs; // tests only
        // What the HID and serial links look through; null: the system's
        // (hidapi, and the serial ports libserialport lists). Not owned.
        platform::HidPort* hidPort = nullptr;
        platform::SerialPortSystem* serialPorts = nullptr;
        // Bound on waiting for the unit to finish writing one batch of the
        // block protocol while it answers busy.
        int32_t batchWriteLimitMs = 10000;
    };

    CDeviceBase();
    explicit CDeviceBase(const Options& options);
    ~CDeviceBase() override;
    CDeviceBase(const CDeviceBase&) = delete;
    CDeviceBase& operator=(const CDeviceBase&) = delete;

    // Starts the poll thread, the HID link's threads, the serial link's
    // thread and the socket link's thread, in that order; once, after the
    // general handler was set.
    void Start();

    // Register transactions on the active link, at unit address 31.
    // 1 on success, 0 on failure or when no link was ever active.
    [[nodiscard]] int Read(uint8_t reg, uint8_t length, uint8_t* buffer);
    [[nodiscard]] int Write(uint8_t reg, uint8_t length, const uint8_t* data, int32_t delayMs);

    // Sets the handler that receives every event; null removes it. Once it
    // returns, the previous handler is no longer running and is not called
    // again. Not from within a handler.
    void SetEventHandler(Callback callback, void* userData);
    // Handler for one unit type (low 8 bits used), with the same guarantee;
    // always 1.
    int SetTypeHandler(Callback callback, void* userData, int32_t unitType);

    // The current unit type's handler first, then the general handler, whose
    // result is returned (0 without one).
    int32_t Notify(int32_t event, int32_t value);

    // Copies the image and asks the poll thread to transfer it after its next
    // good poll; 0 unless a link is up, the unit is online and length > 0.
    [[nodiscard]] int RequestTransfer(const uint8_t* data, uint32_t length);

    // Transactions of the previous second on the HID link, else 1.
    [[nodiscard]] int32_t GetLinkRate();

    // Link arbitration, called on a link's thread: the first link up wins,
    // the others are refused (0) until it reports itself down. Accepted
    // changes and the online state are traced on the debug channel.
    int32_t OnLinkState(int32_t connected, int32_t linkType) override;

    // Enters (1) or leaves (0) the online state; raises event 1.
    virtual int32_t OnOnline(int32_t online);

    // --- Identity (the last accepted status poll) -------------------------
    [[nodiscard]] uint8_t GetUnitAddress() const { return kUnitAddress; }
    [[nodiscard]] uint8_t GetUnitId() const { return m_unitId; }
    [[nodiscard]] uint16_t GetUnitType() const { return m_unitType; }
    [[nodiscard]] uint16_t GetHardwareId() const { return m_hardwareId; }
    [[nodiscard]] uint16_t GetBootExtra() const { return m_bootExtra; }
    [[nodiscard]] uint8_t GetVersion1() const { return m_version1; }
    [[nodiscard]] uint8_t GetVersion2() const { return m_version2; }
    [[nodiscard]] uint8_t GetVersion3() const { return m_version3; }
    [[nodiscard]] uint32_t GetAppVersion() const { return m_appVersion; }
    [[nodiscard]] int32_t IsBootLoader() const { return m_bootLoader; }
    [[nodiscard]] uint8_t GetMode() const { return m_mode; }
    [[nodiscard]] int32_t GetMarker() const { return m_marker; }
    [[nodiscard]] std::array<uint8_t, 12> GetDeviceInfo() const;
    [[nodiscard]] std::array<uint8_t, 7> GetLastStatus() const;
    [[nodiscard]] int32_t IsLinkUp() const { return m_linkUp; }
    [[nodiscard]] int32_t IsOnline() const { return m_online; }
    [[nodiscard]] int32_t IsTransferRunning() const { return m_transferRunning; }
    [[nodiscard]] int32_t GetActiveLinkType() const { return m_activeLink; }
    [[nodiscard]] uint8_t GetEraseTime() const { return m_eraseTime; }
    [[nodiscard]] uint8_t GetBlockWriteDelay() const { return m_blockWriteDelay; }
    [[nodiscard]] int32_t IsBlockTransfer() const { return m_blockTransfer; }
    [[nodiscard]] uint8_t GetBlocksPerBatch() const { return m_blocksPerBatch; }
    [[nodiscard]] uint8_t GetBlockSize() const { return m_blockSize; }

    // --- Exchanges and transfer steps (poll thread; public for tests) -----
    // One status exchange: write 04 FB, read 10 bytes, decode. 1 when the
    // poll counts as good.
    [[nodiscard]] int StatusPoll();
    // Write 05 FA, read the 12 device-info bytes.
    [[nodiscard]] int DeviceInfoExchange();
    int EnterBootLoader();
    int LeaveBootLoader();
    [[nodiscard]] int ReadTimings();
    [[nodiscard]] int ReadCapability();
    [[nodiscard]] int Erase();
    [[nodiscard]] int WriteBlockNumber(uint16_t block);
    [[nodiscard]] int
    WriteRetry(uint8_t reg, uint8_t length, const uint8_t* data, int32_t sleepAfterMs);
    // The whole transfer of the requested image; events 3, 5 and 4.
    int Transfer();

private:
    // "<link> link up", or down with the link's last error (DebugTrace).
    void TraceLink(int32_t connected, int32_t linkType) const;
    static void PollThreadMain(void* self);
    void PollLoop();
    // Sleeps ms unless the device is being destroyed; false when it is.
    bool Pause(int32_t ms);
    bool Running() const { return m_running.load() != 0; }
    void DecodeStatus(const uint8_t status[10]);
    int TransferBlocks(const std::vector<uint8_t>& image);
    int TransferClassic(const std::vector<uint8_t>& image);

    const Options m_options;
    std::atomic<uint8_t> m_unitId{0};
    std::atomic<uint16_t> m_unitType{kNoUnit};
    std::atomic<uint16_t> m_hardwareId{0};
    std::atomic<uint16_t> m_bootExtra{0};
    std::atomic<uint8_t> m_version1{0}, m_version2{0}, m_version3{0};
    std::atomic<uint32_t> m_appVersion{0};
    std::atomic<int32_t> m_bootLoader{0};
    std::atomic<uint8_t> m_mode{0};
    std::atomic<uint8_t> m_eraseTime{0};
    std::atomic<uint8_t> m_blockWriteDelay{0};
    std::atomic<int32_t> m_marker{0};
    std::atomic<int32_t> m_blockTransfer{0};
    std::atomic<uint8_t> m_blocksPerBatch{0};
    std::atomic<uint8_t> m_blockSize{0};
    std::atomic<int32_t> m_linkUp{0};
    std::atomic<int32_t> m_online{0};
    std::atomic<int32_t> m_transferRunning{0};
    std::atomic<int32_t> m_transferRequested{0};
    std::atomic<int32_t> m_running{1};
    std::atomic<int32_t> m_activeLink{kNoLink};

    mutable std::mutex m_identityLock; // guards m_deviceInfo and m_lastStatus
    std::array<uint8_t, 12> m_deviceInfo{};
    std::array<uint8_t, 7> m_lastStatus{};

    // Serialises OnLinkState and OnOnline: two links may report at once, and
    // only one may win.
    std::recursive_mutex m_arbitration;
    CMSemaphore m_exchangeLock; // the two-step exchanges; before any link mutex
    CMSemaphore m_wake;         // released by link up and by destruction

    std::mutex m_imageLock; // guards m_image against RequestTransfer
    std::vector<uint8_t> m_image;

    // Guards the handler tables. Notify holds it shared while it calls the
    // handlers, so that a handler removed (set to null) by its owner is never
    // called after SetTypeHandler or SetEventHandler has returned.
    std::shared_mutex m_handlerLock;
    std::array<std::pair<Callback, void*>, 256> m_typeHandlers{};
    std::pair<Callback, void*> m_generalHandler{nullptr, nullptr};

    CMThread m_pollThread;
};
