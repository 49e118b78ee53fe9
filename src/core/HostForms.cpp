#include "core/HostForms.h"

#include "core/Engine.h"

namespace rdv {

void HostFormUnload(Engine& engine, IHost::UnloadRequest& request) {
    if (request.closeRequest && !engine.running) {
        request.defer = true;
        return;
    }
    if (request.form == HostForm::Full) {
        engine.running = false;
        return;
    }
    if (engine.running) {
        request.cancel = true;
        engine.running = false;
    }
}

EngineError HostFailure(const HostError& e) { return EngineError(ErrDevice, e.source, e.description, e.code); }

void ShowHostWindow(Engine& engine, HostForm form) {
    engine.hostWindow = form;
    engine.hostWindowHandle = nullptr;
    IHost* host = engine.platform.host.get();
    if (!host) return;
    host->SetUnloadHandler([&engine](IHost::UnloadRequest& r) { HostFormUnload(engine, r); });
    try {
        engine.hostWindowHandle = host->Show(form, engine.settings.width, engine.settings.height);
    } catch (const HostError& e) {
        throw HostFailure(e);
    }
}

void DispLoadHostWindow(Engine& engine) {
    if (!engine.hostWindow || !engine.platform.host) return;
    engine.platform.host->DispLoad(*engine.hostWindow);
}

void UnloadHostForms(Engine& engine) {
    if (IHost* host = engine.platform.host.get()) {
        host->Unload(HostForm::Full);
        host->Unload(HostForm::Windowed);
    }
    engine.hostWindow.reset();
    engine.hostWindowHandle = nullptr;
}

void DoEvents(Engine& engine) {
    if (engine.platform.host) engine.platform.host->DoEvents();
}

} // namespace rdv
