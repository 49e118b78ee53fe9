#include "platform/HeadlessHost.h"

namespace rdv {

SDL_Window* HeadlessHost::Show(HostForm form, int width, int height) {
    Form& f = forms_[Index(form)];
    if (!f.loaded) {
        f.loaded = true;
        f.width = width > 0 ? width : 640;
        f.height = height > 0 ? height : 480;
    }
    foreground_ = Index(form);
    calls.push_back(std::string("Show ") + Name(Index(form)));
    return nullptr;
}

void HeadlessHost::DispLoad(HostForm form) { calls.push_back(std::string("DispLoad ") + Name(Index(form))); }

void HeadlessHost::RequestUnload(int index) {
    if (!forms_[index].loaded) return;
    bool cancel = false;
    if (handler_) handler_(index == 0 ? HostForm::Full : HostForm::Windowed, cancel);
    if (cancel) {
        calls.push_back(std::string("Cancel ") + Name(index));
        return;
    }
    forms_[index] = Form{};
    if (foreground_ == index) foreground_ = -1;
    calls.push_back(std::string("Unload ") + Name(index));
}

void HeadlessHost::Unload(HostForm form) { RequestUnload(Index(form)); }

void HeadlessHost::DoEvents() {
    ++doEventsCount;
    calls.push_back("DoEvents");
    while (!pending_.empty()) {
        int index = pending_.front();
        pending_.pop_front();
        if (index < 0) {
            RequestUnload(0);
            RequestUnload(1);
        } else {
            RequestUnload(index);
        }
    }
}

void HeadlessHost::MoveWindow(HostForm form, int x, int y, int width, int height) {
    Form& f = forms_[Index(form)];
    f.x = x;
    f.y = y;
    f.width = width;
    f.height = height;
}

void HeadlessHost::GetClientSize(HostForm form, int& width, int& height) const {
    const Form& f = forms_[Index(form)];
    width = f.width;
    height = f.height;
}

void HeadlessHost::SetForeground(HostForm form) {
    if (forms_[Index(form)].loaded) foreground_ = Index(form);
}

bool HeadlessHost::IsForeground(HostForm form) const { return foreground_ == Index(form); }

MsgResult HeadlessHost::MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                                   MsgIcon icon, int defaultButton) {
    boxes.push_back({text, title, buttons, icon, defaultButton});
    calls.push_back("MessageBox " + title);
    if (!answers.empty()) {
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    if (buttons == MsgButtons::OK) return MsgResult::OK;
    return defaultButton == 2 ? MsgResult::No : MsgResult::Yes;
}

} // namespace rdv
