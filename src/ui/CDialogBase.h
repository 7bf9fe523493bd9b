#pragma once

#include "foundation/ITextWindow.h"
#include "ui/CEventPoster.h"
#include "ui/model/DialogUnits.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// The base of every dialog of the tool: child controls registered under the
// control ids the dialogs are specified with, captions set by (control id,
// text number) lists through the text table, window messages posted from any
// thread and delivered on the user-interface thread, window timers by id,
// and layouts in dialog units converted with the dialog's font.
//
// Thread safety: PostMessage and Poster() from any thread; everything else
// on the user-interface thread.
class CDialogBase : public QDialog, public ITextWindow {
    Q_OBJECT
public:
    explicit CDialogBase(QWidget* parent = nullptr);
    ~CDialogBase() override;

    // --- controls ----------------------------------------------------------
    // Registers control under id (replacing an earlier one); not owned (the
    // control is a child widget).
    void RegisterControl(int32_t id, QWidget* control);
    [[nodiscard]] QWidget* GetDlgItem(int32_t id) const;
    template <typename T>
    [[nodiscard]] T* Control(int32_t id) const {
        return dynamic_cast<T*>(GetDlgItem(id));
    }
    [[nodiscard]] std::vector<int32_t> ControlIds() const;

    // ITextWindow: the caption of a button, label, group box or edit.
    bool SetControlText(int32_t controlId, const char* utf8) override;
    bool SetDlgItemText(int32_t controlId, const QString& text);
    [[nodiscard]] QString GetDlgItemText(int32_t controlId) const;

    void ShowControl(int32_t id, bool show);
    void EnableControl(int32_t id, bool enable);
    // Shown (not hidden by the dialog; true even while the dialog itself is
    // not on screen) and enabled; false for an unknown id.
    [[nodiscard]] bool IsControlShown(int32_t id) const;
    [[nodiscard]] bool IsControlEnabled(int32_t id) const;

    // --- messages ----------------------------------------------------------
    // Queues a message for OnMessage; any thread. False once the dialog is
    // being destroyed.
    bool PostMessage(uint32_t message, int32_t wParam, int32_t lParam);
    // The poster of this dialog, for device event handlers
    // (CEventPoster::DeviceCallback).
    [[nodiscard]] CEventPoster* Poster() { return m_poster.get(); }

    // --- timers ------------------------------------------------------------
    // Starts (or restarts with the new period) timer id: OnTimer(id) every
    // periodMs milliseconds until KillTimer(id).
    void SetTimer(uint32_t id, uint32_t periodMs);
    void KillTimer(uint32_t id);
    [[nodiscard]] bool HasTimer(uint32_t id) const { return m_timers.count(id) != 0; }

    // --- dialog units ------------------------------------------------------
    [[nodiscard]] static DialogUnits UnitsForFont(const QFont& font);
    [[nodiscard]] DialogUnits Units() const { return UnitsForFont(font()); }
    [[nodiscard]] QRect DluRect(int32_t x, int32_t y, int32_t width, int32_t height) const;

protected:
    // A posted message; the default hands 0x0401 to OnDeviceEvent.
    virtual void OnMessage(uint32_t message, int32_t wParam, int32_t lParam);
    virtual void OnDeviceEvent(int32_t event, int32_t value);
    virtual void OnTimer(uint32_t id);

    // Stops posting: called first thing by a derived destructor that owns
    // threads which may still post.
    void StopPosting();

    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::map<int32_t, QPointer<QWidget>> m_controls;
    std::map<uint32_t, int> m_timers;       // our id -> the toolkit's timer id
    std::unique_ptr<CEventPoster> m_poster; // created with the dialog
};
