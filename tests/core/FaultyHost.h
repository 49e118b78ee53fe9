#pragma once
// A headless host whose window or system query fails on demand, for the
// error paths of start-up.
#include <functional>
#include <memory>

#include "platform/HeadlessHost.h"

namespace rdv::test {

class FaultyHost : public IHost {
public:
    HeadlessHost inner;
    std::function<void()> onShow;         // runs (and may throw) before a window is shown
    std::function<void()> onSystemInfo;   // runs (and may throw) before the system query

    SDL_Window* Show(HostForm form, int width, int height) override {
        if (onShow) onShow();
        return inner.Show(form, width, height);
    }
    bool Loaded(HostForm form) const override { return inner.Loaded(form); }
    SDL_Window* Window(HostForm form) const override { return inner.Window(form); }
    void DispLoad(HostForm form) override { inner.DispLoad(form); }
    void Unload(HostForm form) override { inner.Unload(form); }
    void SetUnloadHandler(UnloadHandler handler) override { inner.SetUnloadHandler(std::move(handler)); }
    void DoEvents() override { inner.DoEvents(); }
    void MoveWindow(HostForm form, int x, int y, int width, int height) override {
        inner.MoveWindow(form, x, y, width, height);
    }
    void GetClientSize(HostForm form, int& width, int& height) const override {
        inner.GetClientSize(form, width, height);
    }
    void SetForeground(HostForm form) override { inner.SetForeground(form); }
    bool IsForeground(HostForm form) const override { return inner.IsForeground(form); }
    MsgResult MessageBox(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                         int defaultButton) override {
        return inner.MessageBox(text, title, buttons, icon, defaultButton);
    }
    SystemInfo GetSystemInfo() const override {
        if (onSystemInfo) onSystemInfo();
        return inner.GetSystemInfo();
    }
    OSVersionInfo GetVersion() const override { return inner.GetVersion(); }
};

} // namespace rdv::test
