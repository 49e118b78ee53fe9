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

bool HeadlessHost::RequestUnload(int index, bool closeRequest) {
    if (!forms_[index].loaded) return true;
    UnloadRequest request{index == 0 ? HostForm::Full : HostForm::Windowed, closeRequest};
    if (handler_) handler_(request);
    if (closeRequest && request.defer) {
        calls.push_back(std::string("Defer ") + Name(index));
        return false;
    }
    if (request.cancel) {
        calls.push_back(std::string("Cancel ") + Name(index));
        return true;
    }
    forms_[index] = Form{};
    if (foreground_ == index) foreground_ = -1;
    calls.push_back(std::string("Unload ") + Name(index));
    return true;
}

void HeadlessHost::Unload(HostForm form) { RequestUnload(Index(form), false); }

void HeadlessHost::DoEvents() {
    ++doEventsCount;
    calls.push_back("DoEvents");
    std::deque<int> requests;
    requests.swap(pending_);
    for (int index : requests) {
        bool done = true;
        if (index < 0) {
            done = RequestUnload(0, true) & RequestUnload(1, true);
        } else {
            done = RequestUnload(index, true);
        }
        if (!done) pending_.push_back(index);
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
