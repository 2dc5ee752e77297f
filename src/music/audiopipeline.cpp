#include "audiopipeline.h"

#include <QThreadPool>

#include <utility>
#include <vector>

namespace corvalo::music {

namespace {

// playbin's GstPlayFlags: the audio stream alone, its volume set in software. Without the video,
// text and visualisation flags playbin builds no video sink, converter or visualiser.
constexpr guint playAudio = 0x2;
constexpr guint playSoftVolume = 0x10;

MediaFailure failureOf(GstMessage* message, const GError* error, const QUrl& source)
{
    if ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) ||
        (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        return MediaFailure::Format;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
        return MediaFailure::AccessDenied;
    // A stream's source gives up on a server it cannot reach without always saying why.
    GstObject* from = GST_MESSAGE_SRC(message);
    if (!source.isLocalFile() &&
        (error->domain == GST_RESOURCE_ERROR ||
         (GST_IS_ELEMENT(from) && GST_OBJECT_FLAG_IS_SET(from, GST_ELEMENT_FLAG_SOURCE))))
        return MediaFailure::Network;
    return MediaFailure::Other;
}

// FFmpeg comes with a hundred libraries (the Vulkan loader, VA-API and OpenCL among them), 30 to
// 40 MiB, so it is loaded only for what nothing else plays, such as WMA. Its MP3 decoder ranks
// with mpg123's and would win by name; its type finders name only game and console formats the
// music manager does not offer, yet they run, loading FFmpeg, on every file nothing else names
// for certain (an undecodable one, say).
void keepFfmpegAside()
{
    GstRegistry* registry = gst_registry_get();
    if (GstPluginFeature* mp3 = gst_registry_lookup_feature(registry, "mpg123audiodec")) {
        gst_plugin_feature_set_rank(mp3, GST_RANK_PRIMARY);
        gst_object_unref(mp3);
    }
    GList* features = gst_registry_get_feature_list_by_plugin(registry, "libav");
    for (GList* feature = features; feature; feature = feature->next)
        if (GST_IS_TYPE_FIND_FACTORY(feature->data))
            gst_registry_remove_feature(registry, GST_PLUGIN_FEATURE(feature->data));
    gst_plugin_feature_list_free(features);
}

qint64 milliseconds(gint64 ns)
{
    return ns / GST_MSECOND;
}

} // namespace

AudioPipeline::AudioPipeline(QThreadPool* workers, const QUrl& source, QByteArray soundFont,
                             QObject* owner, Deliver deliver)
    : m_workers(workers), m_source(source), m_soundFont(std::move(soundFont)), m_owner(owner),
      m_deliver(std::move(deliver))
{}

std::shared_ptr<AudioPipeline> AudioPipeline::start(QThreadPool* workers, const QUrl& source,
                                                    QByteArray soundFont, QObject* owner,
                                                    Deliver deliver, Target target, qint64 fromMs,
                                                    int volume, bool muted)
{
    std::shared_ptr<AudioPipeline> pipeline(
        new AudioPipeline(workers, source, std::move(soundFont), owner, std::move(deliver)));
    std::lock_guard lock(pipeline->m_lock);
    pipeline->m_target = target;
    if (fromMs > 0) {
        pipeline->m_seekTo = fromMs;
        pipeline->m_seeks = 1;
    }
    pipeline->m_volume = volume;
    pipeline->m_muted = muted;
    pipeline->schedule();
    return pipeline;
}

AudioPipeline::~AudioPipeline()
{
    tearDown();
}

void AudioPipeline::setTarget(Target target)
{
    std::lock_guard lock(m_lock);
    m_target = target;
    schedule();
}

void AudioPipeline::seek(qint64 ms)
{
    std::lock_guard lock(m_lock);
    m_seekTo = ms;
    ++m_seeks;
    schedule();
}

void AudioPipeline::setVolume(int volume, bool muted)
{
    std::lock_guard lock(m_lock);
    m_volume = volume;
    m_muted = muted;
    m_volumeChanged = true;
    schedule();
}

void AudioPipeline::askPosition()
{
    std::lock_guard lock(m_lock);
    m_positionWanted = true;
    schedule();
}

void AudioPipeline::dispose()
{
    std::lock_guard lock(m_lock);
    m_owner = nullptr;
    m_disposed = true;
    schedule();
}

void AudioPipeline::schedule()
{
    // A worker already at it looks at what is wanted again before it lets go.
    if (m_working)
        return;
    m_working = true;
    m_workers->start([self = shared_from_this()] { self->work(); });
}

void AudioPipeline::post(PipelineReport report)
{
    if (m_owner)
        QMetaObject::invokeMethod(
            m_owner, [deliver = m_deliver, report = std::move(report)] { deliver(report); },
            Qt::QueuedConnection);
}

void AudioPipeline::work()
{
    std::unique_lock lock(m_lock);
    if (!m_built && !m_disposed) {
        lock.unlock();
        const QString problem = build();
        lock.lock();
        if (!problem.isEmpty() && !m_failed) {
            m_failed = true;
            post({MediaFailure::Other, problem});
        }
    }
    for (;;) {
        if (m_disposed || !m_bin) {
            lock.unlock();
            tearDown();
            lock.lock();
            m_working = false;
            return;
        }
        const bool changeState = !m_started || m_target != m_applied;
        const Target target = m_target;
        const qint64 seekTo = m_prerolled ? std::exchange(m_seekTo, -1) : -1;
        const quint64 seeks = m_seeks;
        const bool changeVolume = std::exchange(m_volumeChanged, false);
        const double volume = m_volume / 100.0;
        const gboolean muted = m_muted;
        // Where it stands before a seek still to be made would be stale news.
        const bool position = std::exchange(m_positionWanted, false) && m_seekTo < 0;
        const bool details = std::exchange(m_detailsWanted, false);
        if (!changeState && seekTo < 0 && !changeVolume && !position && !details) {
            m_working = false;
            return;
        }
        lock.unlock();

        std::vector<PipelineReport> reports;
        if (changeVolume)
            g_object_set(m_bin, "volume", volume, "mute", muted, nullptr);
        if (changeState) {
            m_started = true;
            m_applied = target;
            // Asynchronous: the pipeline prerolls on its own threads and says so on its bus.
            if (gst_element_set_state(m_bin, target == Target::Playing
                                                 ? GST_STATE_PLAYING
                                                 : GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
                reports.push_back(
                    {MediaFailure::Other, QStringLiteral("The sound could not be started.")});
        }
        if (seekTo >= 0)
            gst_element_seek_simple(m_bin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    seekTo * GST_MSECOND);
        gint64 ns = 0;
        if (position && gst_element_query_position(m_bin, GST_FORMAT_TIME, &ns))
            reports.push_back({PipelineReport::Position, milliseconds(ns), seeks});
        if (details) {
            if (gst_element_query_duration(m_bin, GST_FORMAT_TIME, &ns))
                reports.push_back({PipelineReport::Duration, milliseconds(ns)});
            GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
            gboolean seekable = false;
            if (gst_element_query(m_bin, query))
                gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
            gst_query_unref(query);
            reports.push_back({PipelineReport::Seekable, seekable ? 1 : 0});
        }

        lock.lock();
        for (PipelineReport& report : reports) {
            // A failure reported on the bus already said it better.
            if (report.kind == PipelineReport::Failed && std::exchange(m_failed, true))
                continue;
            post(std::move(report));
        }
    }
}

QString AudioPipeline::build()
{
    m_built = true;
    GError* error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        const QString problem = QString::fromUtf8(error ? error->message : "GStreamer failed");
        g_clear_error(&error);
        return problem;
    }
    keepFfmpegAside();
    m_bin = gst_element_factory_make("playbin", nullptr);
    if (!m_bin)
        return QStringLiteral("GStreamer's playbin element is missing.");
    gst_object_ref_sink(m_bin);
    g_object_set(m_bin, "flags", playAudio | playSoftVolume, "uri",
                 m_source.toEncoded().constData(), nullptr);
    g_signal_connect(m_bin, "element-setup", G_CALLBACK(onElementSetup), this);
    GstBus* bus = gst_element_get_bus(m_bin);
    gst_bus_set_sync_handler(bus, onMessage, this, nullptr);
    gst_object_unref(bus);
    return {};
}

void AudioPipeline::tearDown()
{
    if (!m_bin)
        return;
    gst_element_set_state(m_bin, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(m_bin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    g_signal_handlers_disconnect_by_data(m_bin, this);
    gst_object_unref(m_bin);
    m_bin = nullptr;
}

// On whichever thread posts the message: translated here, acted on by the owner's event loop.
GstBusSyncReply AudioPipeline::onMessage(GstBus*, GstMessage* message, gpointer data)
{
    auto* self = static_cast<AudioPipeline*>(data);
    const bool fromBin = GST_MESSAGE_SRC(message) == GST_OBJECT(self->m_bin);
    std::lock_guard lock(self->m_lock);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        // One failure a source: the elements that fail after the first say nothing new.
        if (!std::exchange(self->m_failed, true)) {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            self->post(
                {failureOf(message, error, self->m_source), QString::fromUtf8(error->message)});
            g_clear_error(&error);
        }
        break;
    case GST_MESSAGE_EOS:
        self->post({PipelineReport::Ended});
        break;
    case GST_MESSAGE_STATE_CHANGED:
        if (fromBin) {
            GstState before, now;
            gst_message_parse_state_changed(message, &before, &now, nullptr);
            if (now == GST_STATE_PLAYING)
                self->post({PipelineReport::Started});
            else if (now == GST_STATE_PAUSED && before == GST_STATE_READY)
                self->post({PipelineReport::Loaded});
        }
        break;
    case GST_MESSAGE_ASYNC_DONE: // prerolled, at first or after a seek: a seek can follow now
        if (fromBin) {
            self->m_prerolled = true;
            self->m_detailsWanted = true;
            self->schedule();
        }
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        self->m_detailsWanted = true;
        self->schedule();
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        self->post({PipelineReport::Buffering, percent});
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void AudioPipeline::onElementSetup(GstElement*, GstElement* element, gpointer data)
{
    const auto* self = static_cast<AudioPipeline*>(data);
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* name = factory ? gst_plugin_feature_get_name(factory) : nullptr;
    if (g_strcmp0(name, "decodebin") == 0)
        g_signal_connect(element, "autoplug-continue", G_CALLBACK(onAutoplug), nullptr);
    // The MIDI synthesiser takes the sound font it is given rather than the first one it finds.
    else if (g_strcmp0(name, "fluiddec") == 0 && !self->m_soundFont.isEmpty())
        g_object_set(element, "soundfont", self->m_soundFont.constData(), nullptr);
}

// A stream of pictures is left as it is: nothing would show it, and decoding it could wake the
// graphics drivers (hardware decoders) for nothing. Containers carry such names too (an ASF file
// is "video/x-ms-asf"): those are opened for their sound.
gboolean AudioPipeline::onAutoplug(GstElement*, GstPad*, GstCaps* caps, gpointer)
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

} // namespace corvalo::music
