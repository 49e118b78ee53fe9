#pragma once
// A host with no windows, for tests and simulations: forms are records,
// close requests are queued by the test, message boxes answer from a
// script (or their default button), and every call is recorded.
#include <deque>
#include <string>
#include <vector>

#include "platform/Host.h"

namespace rdv {

class HeadlessHost final : public IHost {
public:
    struct Box {
        std::string text, title;
        MsgButtons buttons;
        MsgIcon icon;
        int defaultButton;
    };

    SDL_Window* Show(HostForm form, int width, int height) override;
    bool Loaded(HostForm form) const override { return forms_[Index(form)].loaded; }
    SDL_Window* Window(HostForm) const override { return nullptr; }
    void DispLoad(HostForm form) override;
    void Unload(HostForm form) override;
    void SetUnloadHandler(UnloadHandler handler) override { handler_ = std::move(handler); }
    void DoEvents() override;
    void MoveWindow(HostForm form, int x, int y, int width, int height) override;
    void GetClientSize(HostForm form, int& width, int& height) const override;
    void SetForeground(HostForm form) override;
    bool IsForeground(HostForm form) const override;
    MsgResult MessageBox(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                         int defaultButton) override;
    SystemInfo GetSystemInfo() const override { return systemInfo; }
    OSVersionInfo GetVersion() const override { return version; }

    // The user closes a form's window; delivered by the next DoEvents.
    void PushClose(HostForm form) { pending_.push_back(Index(form)); }
    // The system asks the program to quit (SIGTERM, SIGINT, log-out).
    void PushQuit() { pending_.push_back(-1); }
    // Answers for the next message boxes, in order.
    std::deque<MsgResult> answers;

    SystemInfo systemInfo{586, 1};
    OSVersionInfo version{5, 1, 2600, 2, "Service Pack 2", "", ""};

    // What happened, in order: "Show Windowed", "DispLoad Full", "Unload
    // Windowed", "Cancel Windowed", "DoEvents", "MessageBox <title>".
    std::vector<std::string> calls;
    std::vector<Box> boxes;
    int doEventsCount = 0;

private:
    struct Form {
        bool loaded = false;
        int x = 0, y = 0, width = 0, height = 0;
    };
    static int Index(HostForm form) { return form == HostForm::Full ? 0 : 1; }
    static const char* Name(int index) { return index == 0 ? "Full" : "Windowed"; }
    bool RequestUnload(int index, bool closeRequest);  // false: deferred

    Form forms_[2];
    int foreground_ = -1;
    UnloadHandler handler_;
    std::deque<int> pending_;
};

} // namespace rdv
