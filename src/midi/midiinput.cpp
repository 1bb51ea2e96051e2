#include "midi/midiinput.h"

#include "midi/midibackend.h"

#include <unistd.h>
#include <QRegularExpression>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velorixa::midi {

namespace {

int backendApi(MidiApi api) {
    return api == MidiApi::Jack ? 1 : 0;
}

// Whether the sequencer or a JACK server is there to be asked: asking one that is not there makes
// the libraries print their complaints once a poll. JACK 2 keeps a socket per server name in
// /dev/shm; PipeWire's JACK has its own socket in the runtime folder.
bool ServerMayRun(MidiApi api) {
    if (api == MidiApi::Alsa) return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string name = server && *server ? server : "default";
    const std::string socket = "/dev/shm/jack_" + name + "_" + std::to_string(::getuid()) + "_0";
    if (::access(socket.c_str(), F_OK) == 0) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && ::access((std::string(runtime) + "/pipewire-0").c_str(), F_OK) == 0;
}

QString clientPart(const QString& name) {
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.left(colon);
}

}  // namespace

struct MidiInput::Port {
    int id = 0;
    QString portName, controller;
    MidiInput* owner = nullptr;
    MidiParser parser;
    std::vector<MidiMessage> parsed;
    std::unique_ptr<MidiIn> in;
    std::unique_ptr<MidiOut> out;
    bool seen = false;
};

struct MidiInput::Probe {
    std::unique_ptr<MidiIn> in;
    std::unique_ptr<MidiOut> out;
};

MidiInput::MidiInput(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

MidiInput::~MidiInput() {
    stop();
}

void MidiInput::start() {
    if (thread_.joinable()) return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void MidiInput::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(wakeMu_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

QString MidiInput::ControllerName(const QString& portName) {
    static const QRegularExpression kAlsaNumbers(QStringLiteral("\\s+\\d+:\\d+$"));
    QString s = portName;
    s.remove(kAlsaNumbers);
    return s.trimmed();
}

QString MidiInput::controllerOf(int port) const {
    std::lock_guard lock(namesMu_);
    for (const auto& [id, name] : names_)
        if (id == port) return name;
    return {};
}

void MidiInput::send(const QString& controller, const MidiMessage& m) {
    {
        std::lock_guard lock(outMu_);
        out_.emplace_back(controller, MidiBytes(m));
    }
    wake_.notify_all();
}

void MidiInput::onMessage(double, std::vector<unsigned char>* bytes, void* user) {
    auto* port = static_cast<Port*>(user);
    port->parsed.clear();
    port->parser.feed(bytes->data(), bytes->size(), port->parsed);
    bool wake = false;
    for (const MidiMessage& m : port->parsed)
        wake = port->owner->mailbox_.push(port->id, m) || wake;
    if (wake) emit port->owner->eventsReady();
}

void MidiInput::run() {
    std::unique_lock lock(wakeMu_);
    auto nextPoll = std::chrono::steady_clock::now();
    while (!stopping_) {
        lock.unlock();
        if (std::chrono::steady_clock::now() >= nextPoll) {
            poll();
            nextPoll = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(std::max(10, options_.pollMs));
        }
        flushOutput();
        lock.lock();
        wake_.wait_until(lock, nextPoll, [this] {
            if (stopping_) return true;
            std::lock_guard out(outMu_);
            return !out_.empty();
        });
    }
    lock.unlock();
    closeAll();
}

void MidiInput::closeAll() {
    for (auto& p : ports_) {
        p->in.reset();  // closes the port; its callbacks have ended when this returns
        p->out.reset();
        emit controllerRemoved(p->controller);
    }
    ports_.clear();
    probe_.reset();
}

void MidiInput::poll() {
    const int api = backendApi(options_.api);
    if (!ServerMayRun(options_.api)) {
        closeAll();  // the server went: its ports with it; a new one is asked afresh
        return;
    }
    // The MIDI library is loaded only now that a server is there to be asked.
    std::string why;
    const MidiBackend* backend = LoadMidiBackend(&why);
    if (!backend) {
        if (!backendReported_) std::fprintf(stderr, "velorixa: %s\n", why.c_str());
        backendReported_ = true;
        return;
    }
    try {
        if (!probe_) {
            auto probe = std::make_unique<Probe>();
            probe->in.reset(backend->newIn(api, options_.clientName.toStdString()));
            probe->out.reset(backend->newOut(api, options_.clientName.toStdString()));
            probe_ = std::move(probe);
        }
    } catch (const std::exception&) {
        return;  // no sequencer, no server: looked for again at the next poll
    }
    const QString own = options_.clientName;
    auto isOwn = [&](const QString& name) { return clientPart(name).startsWith(own); };
    for (auto& p : ports_)
        p->seen = false;
    try {
        const unsigned n = probe_->in->portCount();
        for (unsigned i = 0; i < n; ++i) {
            const QString name = QString::fromStdString(probe_->in->portName(i));
            if (name.isEmpty() || isOwn(name)) continue;
            bool known = false;
            for (auto& p : ports_)
                if (p->portName == name) p->seen = known = true;
            if (known) continue;
            auto port = std::make_unique<Port>();
            port->id = nextPortId_++;
            port->portName = name;
            port->controller = ControllerName(name);
            port->owner = this;
            port->parsed.reserve(64);
            port->seen = true;
            port->in.reset(backend->newIn(api, own.toStdString()));
            port->in->listen(&MidiInput::onMessage, port.get());  // SysEx goes to the parser
            {
                std::lock_guard names(namesMu_);
                names_.emplace_back(port->id, port->controller);
            }
            port->in->openPort(i, "in");
            if (!port->in->isPortOpen()) {
                // The server refused this client for now (a busy or restarting server): the
                // port stays unknown and is opened afresh at the next poll, instead of showing
                // as a controller that never speaks.
                std::lock_guard names(namesMu_);
                std::erase_if(names_, [&](const auto& entry) { return entry.first == port->id; });
                continue;
            }
            emit controllerAdded(port->controller);
            ports_.push_back(std::move(port));
        }
        // Unplugged: closed, and the window is told (its held pads come up).
        for (auto it = ports_.begin(); it != ports_.end();) {
            if ((*it)->seen) {
                ++it;
                continue;
            }
            (*it)->in.reset();
            (*it)->out.reset();
            emit controllerRemoved((*it)->controller);
            it = ports_.erase(it);
        }
        // The lights: the controller's own input port, by name, or by its client's name.
        const unsigned outs = probe_->out->portCount();
        for (auto& p : ports_) {
            if (p->out) continue;
            for (int pass = 0; pass < 2 && !p->out; ++pass) {
                for (unsigned i = 0; i < outs; ++i) {
                    const QString name = QString::fromStdString(probe_->out->portName(i));
                    if (isOwn(name)) continue;
                    const bool match = pass == 0 ? ControllerName(name) == p->controller
                                                 : clientPart(name) == clientPart(p->portName);
                    if (!match) continue;
                    p->out.reset(backend->newOut(api, own.toStdString()));
                    p->out->openPort(i, "lights");
                    break;
                }
            }
        }
    } catch (const std::exception&) {
        // A port that went while it was opened: the next poll sees the list as it is then.
    }
}

void MidiInput::flushOutput() {
    std::vector<std::pair<QString, std::vector<std::uint8_t>>> out;
    {
        std::lock_guard lock(outMu_);
        out.swap(out_);
    }
    for (auto& [controller, bytes] : out) {
        for (auto& p : ports_) {
            if (p->controller != controller || !p->out) continue;
            try {
                p->out->send(bytes);
            } catch (const std::exception&) {
            }
        }
    }
}

}  // namespace velorixa::midi
