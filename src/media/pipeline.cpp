#include "pipeline.h"

#include <QPointer>
#include <QSocketNotifier>

#include <chrono>
#include <thread>

#include <malloc.h>

namespace corvalo::media {

namespace {

// How often a playing source's position is asked for.
constexpr int progressInterval = 100;

Failure failureOf(GstMessage* message, const GError* error, const QUrl& source)
{
    if ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) ||
        (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        return Failure::Format;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
        return Failure::AccessDenied;
    // A stream's source gives up on a server it cannot reach without always saying why.
    GstObject* from = GST_MESSAGE_SRC(message);
    if (!source.isLocalFile() &&
        (error->domain == GST_RESOURCE_ERROR ||
         (GST_IS_ELEMENT(from) && GST_OBJECT_FLAG_IS_SET(from, GST_ELEMENT_FLAG_SOURCE))))
        return Failure::Network;
    return Failure::Other;
}

qint64 milliseconds(gint64 ns)
{
    return ns / GST_MSECOND;
}

// A text tag as the source names it; empty where it does not.
QString tagText(const GstTagList* tags, const char* tag)
{
    gchar* text = nullptr;
    const bool named = gst_tag_list_get_string(tags, tag, &text) && text;
    const QString result = named ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

// A stream of pictures is left as it is: nothing would show it, and decoding it could wake the
// graphics drivers (hardware decoders) for nothing. Containers carry such names too (an ASF file
// is "video/x-ms-asf"): those are opened for their sound.
gboolean onAutoplugContinue(GstElement*, GstPad*, GstCaps* caps, gpointer)
{
    if (gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return true;
    const gchar* media = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (!g_str_has_prefix(media, "video/") && !g_str_has_prefix(media, "image/"))
        return true;
    GList* demuxers =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_RANK_MARGINAL);
    GList* fitting = gst_element_factory_list_filter(demuxers, caps, GST_PAD_SINK, false);
    const bool container = fitting != nullptr;
    gst_plugin_feature_list_free(fitting);
    gst_plugin_feature_list_free(demuxers);
    return container;
}

// On the pipeline's own threads: what it is given lives as long as the bin, never this object.
void onElementSetup(GstElement*, GstElement* element, gpointer soundFont)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* name = factory ? gst_plugin_feature_get_name(factory) : nullptr;
    if (g_strcmp0(name, "decodebin") == 0)
        g_signal_connect(element, "autoplug-continue", G_CALLBACK(onAutoplugContinue), nullptr);
    // The MIDI synthesiser takes the sound font it is given rather than the first one it finds.
    else if (g_strcmp0(name, "fluiddec") == 0 && soundFont)
        g_object_set(element, "soundfont", static_cast<const gchar*>(soundFont), nullptr);
}

// Told by the pipeline's own thread, through the bus: a state change failed; the pipeline before
// did not let go of the source in time.
constexpr const char* stateFailure = "corvalo-state-failure";
constexpr const char* sourceHeld = "corvalo-source-held";
constexpr std::chrono::seconds letGoTime{3};

void tell(GstElement* bin, const char* what)
{
    gst_element_post_message(
        bin, gst_message_new_application(GST_OBJECT(bin), gst_structure_new_empty(what)));
}

} // namespace

// Carries out what the pipeline's owner asks, latest first, on a thread that only it waits for.
class Pipeline::Driver {
    using Hold = SourceHolds::Hold;

public:
    static std::shared_ptr<Driver> start(GstElement* bin, std::shared_ptr<Hold> hold,
                                         std::shared_ptr<Hold> before)
    {
        auto driver = std::make_shared<Driver>(bin, std::move(hold), std::move(before));
        std::thread([driver] { driver->run(); }).detach();
        return driver;
    }
    Driver(GstElement* bin, std::shared_ptr<Hold> hold, std::shared_ptr<Hold> before)
        : m_bin(bin), m_hold(std::move(hold)), m_before(std::move(before))
    {}

    void setState(GstState state)
    {
        ask([&] { m_state = state; });
    }
    void seek(qint64 ms)
    {
        ask([&] { m_seekTo = ms; });
    }
    void drop()
    {
        ask([&] { m_dropped = true; });
    }

private:
    template <class Change> void ask(Change change)
    {
        {
            std::lock_guard lock(m_lock);
            change();
        }
        m_wake.notify_one();
    }

    bool sourceLetGo()
    {
        if (!m_before)
            return true;
        std::unique_lock lock(m_before->lock);
        return m_before->released.wait_for(lock, letGoTime, [this] { return m_before->done; });
    }

    void run()
    {
        const bool free = sourceLetGo();
        if (!free)
            tell(m_bin, sourceHeld);
        std::unique_lock lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] {
                return m_dropped || m_state != GST_STATE_VOID_PENDING || m_seekTo >= 0;
            });
            if (m_dropped)
                break;
            if (!free) { // nothing is asked of the source
                m_state = GST_STATE_VOID_PENDING;
                m_seekTo = -1;
                continue;
            }
            const GstState state = std::exchange(m_state, GST_STATE_VOID_PENDING);
            const qint64 seekTo = std::exchange(m_seekTo, -1);
            lock.unlock();
            if (state != GST_STATE_VOID_PENDING &&
                gst_element_set_state(m_bin, state) == GST_STATE_CHANGE_FAILURE)
                tell(m_bin, stateFailure);
            if (seekTo >= 0)
                gst_element_seek_simple(m_bin, GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        seekTo * GST_MSECOND);
            lock.lock();
        }
        lock.unlock();
        // Going to NULL joins the streaming threads, which a source stuck in a read never lets go.
        gst_element_set_state(m_bin, GST_STATE_NULL);
        gst_object_unref(m_bin);
        // A pipeline's threads leave what they freed in the allocator's arenas of their own, some
        // megabytes (a MIDI file's sound font among them); it goes back to the system here.
        malloc_trim(0);
        std::lock_guard released(m_hold->lock);
        m_hold->done = true;
        m_hold->released.notify_all();
    }

    GstElement* const m_bin; // this thread's own reference
    const std::shared_ptr<Hold> m_hold;
    const std::shared_ptr<Hold> m_before;
    std::mutex m_lock;
    std::condition_variable m_wake;
    GstState m_state = GST_STATE_VOID_PENDING; // wanted and not yet asked of the bin
    qint64 m_seekTo = -1;
    bool m_dropped = false;
};

Pipeline::Pipeline(const QUrl& source, bool play, const Settings& settings, MediaListener* listener)
    : m_listener(listener), m_source(source), m_play(play)
{
    m_bin = gst_element_factory_make("playbin", nullptr);
    if (!m_bin) {
        QMetaObject::invokeMethod(
            this,
            [this] { fail(Failure::Other, QStringLiteral("GStreamer's playbin is missing.")); },
            Qt::QueuedConnection);
        return;
    }
    gst_object_ref_sink(m_bin);
    gst_util_set_object_arg(G_OBJECT(m_bin), "flags", "audio+soft-volume");
    g_object_set(m_bin, "uri", source.toEncoded().constData(), "volume", settings.volume / 100.0,
                 "mute", gboolean(settings.muted), nullptr);
    g_signal_connect_data(
        m_bin, "element-setup", G_CALLBACK(onElementSetup),
        settings.soundFont.isEmpty() ? nullptr : g_strdup(settings.soundFont.constData()),
        [](gpointer data, GClosure*) { g_free(data); }, GConnectFlags(0));

    m_bus = gst_element_get_bus(m_bin);
    GPollFD busFd;
    gst_bus_get_pollfd(m_bus, &busFd);
    m_busReady = new QSocketNotifier(busFd.fd, QSocketNotifier::Read, this);
    connect(m_busReady, &QSocketNotifier::activated, this, &Pipeline::readBus);

    m_ticker.setInterval(progressInterval);
    connect(&m_ticker, &QTimer::timeout, this, &Pipeline::reportProgress);
    auto [hold, before] = settings.holds ? settings.holds->take(source)
                                         : std::pair{std::make_shared<SourceHolds::Hold>(),
                                                     std::shared_ptr<SourceHolds::Hold>()};
    m_driver = Driver::start(m_bin, hold, before); // from here on, the driver holds the bin
    applyState();
}

Pipeline::~Pipeline()
{
    delete m_busReady;
    if (m_bus)
        gst_object_unref(m_bus);
    if (m_driver)
        m_driver->drop();
}

void Pipeline::setPlaying(bool play)
{
    if (std::exchange(m_play, play) != play)
        applyState();
}

void Pipeline::seek(qint64 ms)
{
    if (!m_bin || m_done)
        return;
    if (!m_prerolled) {
        m_seekTo = ms;
        return;
    }
    m_seeking = true;
    m_driver->seek(ms);
}

void Pipeline::setVolume(int volume, bool muted)
{
    if (m_bin)
        g_object_set(m_bin, "volume", volume / 100.0, "mute", gboolean(muted), nullptr);
}

// Returns at once: the bin prerolls on its own threads and says so on its bus.
void Pipeline::applyState()
{
    if (m_done || !m_bin)
        return;
    m_driver->setState(m_play && !m_buffering ? GST_STATE_PLAYING : GST_STATE_PAUSED);
    if (m_play)
        m_ticker.start();
    else
        m_ticker.stop();
}

void Pipeline::readBus()
{
    // A report may lead the listener to drop this pipeline.
    const QPointer<Pipeline> alive(this);
    while (alive && m_bus) {
        GstMessage* message = gst_bus_pop(m_bus);
        if (!message)
            return;
        take(message);
        gst_message_unref(message);
    }
}

void Pipeline::take(GstMessage* message)
{
    if (m_done)
        return;
    const bool fromBin = GST_MESSAGE_SRC(message) == GST_OBJECT(m_bin);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const Failure kind = failureOf(message, error, m_source);
        const QString text = QString::fromUtf8(error->message);
        g_clear_error(&error);
        fail(kind, text);
        break;
    }
    case GST_MESSAGE_APPLICATION:
        // The bus says why first, where it can.
        if (gst_message_has_name(message, stateFailure))
            fail(Failure::Other, QStringLiteral("The sound could not be started."));
        else if (gst_message_has_name(message, sourceHeld))
            fail(Failure::Other, QStringLiteral("It does not answer: it may lie on a network "
                                                "share that stopped answering."));
        break;
    case GST_MESSAGE_EOS:
        m_done = true;
        m_ticker.stop();
        m_listener->ended();
        break;
    case GST_MESSAGE_STATE_CHANGED:
        if (fromBin) {
            GstState now;
            gst_message_parse_state_changed(message, nullptr, &now, nullptr);
            if (now == GST_STATE_PLAYING)
                m_listener->started();
        }
        break;
    case GST_MESSAGE_ASYNC_DONE: // prerolled, at first or after a seek
        if (fromBin) {
            m_prerolled = true;
            m_seeking = false;
            if (m_seekTo >= 0)
                seek(std::exchange(m_seekTo, -1));
            else
                reportProgress();
        }
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        reportProgress();
        break;
    case GST_MESSAGE_BUFFERING: {
        // A stream that runs short waits, paused, until it has enough to go on.
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        if (std::exchange(m_buffering, percent < 100) != (percent < 100))
            applyState();
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        if (const QString title = tagText(tags, GST_TAG_TITLE); !title.isEmpty())
            m_listener->titled(title);
        const QString artist = tagText(tags, GST_TAG_ARTIST);
        const QString album = tagText(tags, GST_TAG_ALBUM);
        if (!artist.isEmpty() || !album.isEmpty())
            m_listener->tagged(artist, album);
        gst_tag_list_unref(tags);
        break;
    }
    default:
        break;
    }
}

void Pipeline::reportProgress()
{
    if (m_done || m_seeking || !m_prerolled)
        return;
    gint64 ns = 0;
    const qint64 position =
        gst_element_query_position(m_bin, GST_FORMAT_TIME, &ns) ? milliseconds(ns) : 0;
    const qint64 duration =
        gst_element_query_duration(m_bin, GST_FORMAT_TIME, &ns) ? milliseconds(ns) : 0;
    gboolean seekable = false;
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
    if (gst_element_query(m_bin, query))
        gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    if (position == m_position && duration == m_duration && bool(seekable) == m_seekable)
        return;
    m_position = position;
    m_duration = duration;
    m_seekable = seekable;
    m_listener->progressed(position, duration, seekable);
}

void Pipeline::fail(Failure kind, const QString& text)
{
    if (m_done)
        return;
    m_done = true; // one failure a source: the elements that fail after the first say nothing new
    m_ticker.stop();
    m_listener->failed(kind, text);
}

std::pair<std::shared_ptr<SourceHolds::Hold>, std::shared_ptr<SourceHolds::Hold>>
SourceHolds::take(const QUrl& source)
{
    auto hold = std::make_shared<Hold>();
    std::shared_ptr<Hold> before = m_last.value(source).lock();
    m_last.removeIf([](const auto& entry) { return entry.value().expired(); });
    m_last.insert(source, hold);
    return {hold, before};
}

} // namespace corvalo::media
