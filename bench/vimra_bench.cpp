// Times opening and saving a generated document of a given size against the
// floor of one XML parse of every file the open reads. See README.md.

#include "document/AVDocument.h"
#include "document/DocumentUi.h"
#include "document/Storage.h"
#include "platform/FileWrite.h"
#include "platform/MediaDetector.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "resources/StringTable.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <libxml/parser.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

using namespace vimra;

namespace {

// Versions × (Media × Storages) and every Version's main Video, Audio and
// Transcript with `segments` segments each are what the open reads; each
// Storage also registers its media file, each Video segment its keyframe picture.
struct Shape {
    int versions = 48;
    int media = 4;
    int storages = 4;
    int segments = 8;

    int openedObjects() const
    {
        return 1 + versions * (1 + media + 2 * media * storages + 3 * (1 + segments) + segments);
    }
};

struct Generated {
    QString docPath;
    QStringList openedFiles; // every object file the open reads, in open order
};

const QString kHead = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");

QString schemaAttrs()
{
    return QStringLiteral(" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                          " xsi:noNamespaceSchemaLocation=\"vimra.xsd\"");
}

QString el(const QString& name, const QString& value) { return "<" + name + ">" + value + "</" + name + ">"; }

QString guids(const QStringList& ids)
{
    QString out;
    for (const QString& id : ids)
        out += el("GUID", id);
    return out;
}

QString chunk(const QString& name, qint64 start, qint64 end)
{
    return QStringLiteral("<%1 start=\"%2\" end=\"%3\" reasons=\"0\"/>").arg(name).arg(start).arg(end);
}

void writeText(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
    file.write(text.toUtf8());
}

int g_pictures = 0;

// A small 24-bit BMP as a grab writes one.
const QByteArray& keyframePicture()
{
    static const QByteArray bytes = [] {
        QImage image(160, 120, QImage::Format_RGB888);
        image.fill(QColor(40, 90, 140));
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        return out;
    }();
    return bytes;
}

// One expression (Video, Audio or Transcript) of a Version: its main object
// and its segments, linked by part-of and followed-by. The segment files are
// numbered backwards in time, so folder order is not chain order.
void writeExpression(const QString& folder, const QString& stem, const QString& cls, int& counter,
                     const QString& versionId, const QString& mediaId, int segments, QStringList& opened)
{
    const QString lower = cls.toLower();
    const auto idOf = [&](int n) { return folder + "/" + stem + "_" + lower + QString::number(n) + ".xml"; };
    const int mainNumber = ++counter;
    const QString mainId = idOf(mainNumber);
    const qint64 length = qint64(segments) * 4000;
    writeText(mainId, kHead + "<" + cls + schemaAttrs() + ">" + el(cls + "GUID", mainId) + el("Title", cls + " main")
                          + el("VersionGUID", versionId) + chunk("Time", 0, length)
                          + el("manifestedby", guids({mediaId})) + "</" + cls + ">\n");
    opened << mainId;
    const int first = counter + 1;
    counter += segments;
    const auto numberOf = [&](int s) { return first + segments - 1 - s; };
    for (int s = 0; s < segments; ++s) {
        const QString id = idOf(numberOf(s));
        opened << id;
        QString body = el(cls + "GUID", id) + el("Title", cls + " segment " + QString::number(s + 1))
            + chunk("Time", qint64(s) * 4000, qint64(s + 1) * 4000) + el("partof" + lower, mainId);
        if (s + 1 < segments)
            body += el("followedby" + lower, idOf(numberOf(s + 1)));
        if (cls == QLatin1String("Transcript")) {
            QString words;
            for (int w = 0; w < 6; ++w)
                words += QStringLiteral("<Word start=\"%1\" end=\"%2\">word%3</Word>")
                             .arg(qint64(s) * 4000 + w * 600)
                             .arg(qint64(s) * 4000 + w * 600 + 500)
                             .arg(w + 1);
            body += el("transcriptwordlist", words);
        } else {
            body += el("Description", "Segment " + QString::number(s + 1) + " of the " + lower);
        }
        if (cls == QLatin1String("Video")) {
            // A saved segment: its keyframe picture is in the folder, so the open loads it and grabs nothing.
            const QString picture = folder + "/" + stem + "_mediaobject" + QString::number(++g_pictures) + ".bmp";
            body += QStringLiteral("<Keyframe start=\"%1\" end=\"0\" reasons=\"0\">%2</Keyframe>")
                        .arg(qint64(s) * 4000 + 2000)
                        .arg(picture);
            QFile file(picture);
            if (!file.open(QIODevice::WriteOnly) || file.write(keyframePicture()) < 0)
                std::exit(2);
        }
        writeText(id, kHead + "<" + cls + schemaAttrs() + ">" + body + "</" + cls + ">\n");
    }
}

Generated generate(const QString& dir, const QString& name, const Shape& shape)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir + "/" + name + "_files");
    g_pictures = 0;
    const QString folder = dir + "/" + name + "_files";
    const auto id = [&](const char* cls, int n) {
        return folder + "/" + name + "_" + QLatin1String(cls) + QString::number(n) + ".xml";
    };

    Generated out;
    out.docPath = dir + "/" + name + ".xml";
    out.openedFiles << out.docPath;
    QStringList versionIds;
    int mediaCount = 0, storageCount = 0, videoCount = 0, audioCount = 0, transcriptCount = 0;
    for (int v = 1; v <= shape.versions; ++v) {
        const QString versionId = id("version", v);
        versionIds << versionId;
        out.openedFiles << versionId;
        QStringList mediaIds;
        for (int m = 0; m < shape.media; ++m) {
            const QString mediaId = id("media", ++mediaCount);
            mediaIds << mediaId;
            out.openedFiles << mediaId;
            QStringList storageIds;
            for (int s = 0; s < shape.storages; ++s) {
                const QString storageId = id("storage", ++storageCount);
                storageIds << storageId;
                out.openedFiles << storageId;
                writeText(storageId, kHead + "<Storage" + schemaAttrs() + ">" + el("StorageGUID", storageId)
                                         + el("Collocation", "/archive/media/film" + QString::number(storageCount) + ".mpg")
                                         + el("ShelfMark", "B-" + QString::number(storageCount))
                                         + el("CopyNumber", QString::number(s + 1))
                                         + el("MasterCopy", s == 0 ? "true" : "false")
                                         + el("FileSize", "1234.5") + el("IngestDate", "2024-05-17")
                                         + el("Notes", "Shelf " + QString::number(s)) + "</Storage>\n");
            }
            writeText(mediaId, kHead + "<Media" + schemaAttrs() + ">" + el("MediaGUID", mediaId)
                                   + el("Format", "MPEG-2") + el("availableas", guids(storageIds))
                                   + el("FrameWidth", "720") + el("FrameHeight", "576") + el("BitRate", "6000")
                                   + el("Interlaced", "true") + el("Notes", "Media " + QString::number(mediaCount))
                                   + "</Media>\n");
        }
        writeText(versionId, kHead + "<Version" + schemaAttrs() + ">" + el("VersionGUID", versionId)
                                 + el("VersionTitle", "Version " + QString::number(v))
                                 + el("manifestedby", guids(mediaIds)) + chunk("Duration", 0, 5400000)
                                 + el("SubtitleLanguages", el("StringItem", "English") + el("StringItem", "Italian"))
                                 + el("Silent", "false") + el("Notes", "Cut " + QString::number(v)) + "</Version>\n");
        writeExpression(folder, name, "Video", videoCount, versionId, mediaIds.first(), shape.segments, out.openedFiles);
        writeExpression(folder, name, "Audio", audioCount, versionId, mediaIds.first(), shape.segments, out.openedFiles);
        writeExpression(folder, name, "Transcript", transcriptCount, versionId, mediaIds.first(), shape.segments, out.openedFiles);
    }
    // The open reads the document first and then depth first; the floor
    // only needs the set.
    writeText(out.docPath, kHead + "<AVDocument" + schemaAttrs() + ">" + el("AVDocGUID", out.docPath)
                               + el("Title", "Benchmark film") + el("expressedby", guids(versionIds))
                               + el("Directors", el("StringItem", "Doe, Jane")) + el("ProductionYear", "1999")
                               + el("Synopsis", "A generated document.") + "</AVDocument>\n");
    return out;
}

// Counts what the model says, so a run that met an error is not taken for a fast one.
class CountingPrompts : public SilentPrompts {
public:
    QStringList messages;
    int MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        messages << text;
        return SilentPrompts::MsgBox(text, buttons, icon, title);
    }
};

class RecordingUi : public NullDocumentUi {
public:
    QStringList status;
    bool bRecord = false;
    void setStrStatusBarText(const QString& text) override
    {
        if (bRecord)
            status << text;
    }
};

void silence(void*, const char*, ...) {}

CountingPrompts g_prompts;
RecordingUi g_ui;

double seconds(const std::function<void()>& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Figure {
    std::vector<double> runs;
    double min() const { return *std::min_element(runs.begin(), runs.end()); }
    double median() const
    {
        auto v = runs;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
};

// The whole file in one read, as the open reads an object file.
QByteArray readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "floor: cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return file.readAll();
}

// The parse floors: every file the open reads, read whole and parsed from
// memory on `threads` threads, each with one parser context of its own that
// it reuses (as the open does). With the dictionary, every document shares
// its thread's dictionary of names, and libxml2 takes one lock of the whole
// process when a document takes and gives back its dictionary; without it,
// every name is a string of the document's own.
double parseFloor(const QStringList& files, int threads, bool dictionary)
{
    const int options = XML_PARSE_NONET | (dictionary ? 0 : XML_PARSE_NODICT);
    std::atomic<int> next{0};
    const auto drain = [&] {
        xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
        for (int i = next++; i < files.size(); i = next++) {
            const QByteArray bytes = readWhole(files[i]);
            xmlDocPtr d = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()), nullptr, nullptr, options);
            if (!d) {
                std::fprintf(stderr, "floor: cannot parse %s\n", qPrintable(files[i]));
                std::exit(1);
            }
            xmlFreeDoc(d);
        }
        xmlFreeParserCtxt(ctxt);
    };
    return seconds([&] {
        std::vector<std::thread> pool;
        for (int t = 1; t < threads; ++t)
            pool.emplace_back(drain);
        drain();
        for (auto& thread : pool)
            thread.join();
    });
}

constexpr int kFloorThreads[] = {1, 2, 4, 8};

// The parse floors of every thread count, with and without the dictionary.
struct ParseFloors {
    Figure withDictionary[std::size(kFloorThreads)];
    Figure withoutDictionary[std::size(kFloorThreads)];

    void measure(const QStringList& files)
    {
        for (size_t i = 0; i < std::size(kFloorThreads); ++i) {
            withDictionary[i].runs.push_back(parseFloor(files, kFloorThreads[i], true));
            withoutDictionary[i].runs.push_back(parseFloor(files, kFloorThreads[i], false));
        }
    }
    // The fastest thread count's minimum, and that count.
    static std::pair<double, int> best(const Figure (&figures)[std::size(kFloorThreads)])
    {
        std::pair<double, int> out{figures[0].min(), kFloorThreads[0]};
        for (size_t i = 1; i < std::size(kFloorThreads); ++i)
            if (figures[i].min() < out.first)
                out = {figures[i].min(), kFloorThreads[i]};
        return out;
    }
    void print(double open) const
    {
        std::printf("%-22s", "parse floor, threads");
        for (const int t : kFloorThreads)
            std::printf(" %9d", t);
        std::printf("\n%-22s", "  with dictionary");
        for (const Figure& f : withDictionary)
            std::printf(" %8.4fs", f.min());
        std::printf("\n%-22s", "  without dictionary");
        for (const Figure& f : withoutDictionary)
            std::printf(" %8.4fs", f.min());
        const auto [dict, dictThreads] = best(withDictionary);
        const auto [noDict, noDictThreads] = best(withoutDictionary);
        std::printf("\n%-22s min %9.4f s (%d threads)  open is %.2fx this\n", "best parallel floor", dict,
                    dictThreads, open / dict);
        std::printf("%-22s min %9.4f s (%d threads)  open is %.2fx this\n", "  without dictionary", noDict,
                    noDictThreads, open / noDict);
    }
};

std::shared_ptr<IOManager> newStore()
{
    auto io = std::make_shared<IOManager>();
    io->setBFileSystem(true);
    return io;
}

std::shared_ptr<AVDocument> openDoc(const QString& path, const std::shared_ptr<IOManager>& io)
{
    auto doc = AVDocument::create();
    const QString error = doc->strOpen(path, editorFactory().create(QStringLiteral("AVDocument")), io);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(error));
        std::exit(1);
    }
    return doc;
}

void checkRegistered(const AVDocument& doc, int expected)
{
    if (doc.collObjects().Count() != expected) {
        std::fprintf(stderr, "open registered %d objects, expected %d\n", doc.collObjects().Count(), expected);
        std::exit(1);
    }
    if (!g_prompts.messages.isEmpty()) {
        std::fprintf(stderr, "the model showed %lld messages, first: %s\n",
                     static_cast<long long>(g_prompts.messages.size()), qPrintable(g_prompts.messages.first()));
        std::exit(1);
    }
}

long statusKiB(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<int>(std::strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

// The peak resident memory while opening `path`, in KiB: freed memory goes
// back to the system and the peak is reset to the current size first.
long peakOfOpen(const QString& path)
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const long before = statusKiB("VmRSS:");
    {
        auto doc = openDoc(path, newStore());
        const long peak = statusKiB("VmHWM:");
        doc->release();
        return peak - before;
    }
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void removeTree(const QString& docPath)
{
    QFile::remove(docPath);
    QString stem = docPath;
    stem.chop(4);
    QDir(stem + "_files").removeRecursively();
}

// Writes the document at `docPath` again into `folder`, file by file as
// save-as writes them (each made whole and put in place, one sync at the
// end): what save-as costs below the model.
double timeRewrite(const QString& docPath, const QString& folder)
{
    QString stem = docPath;
    stem.chop(4);
    std::vector<QByteArray> contents;
    for (const QFileInfo& info : QDir(stem + "_files").entryInfoList(QDir::Files))
        contents.push_back(readBytes(info.filePath()));
    contents.push_back(readBytes(docPath));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const double t = seconds([&] {
        fs::SyncBatch batch;
        QString error;
        for (size_t i = 0; i < contents.size(); ++i)
            if (!fs::writeAtomically(folder + "/f" + QString::number(i) + ".xml", contents[i], &error))
                std::fprintf(stderr, "rewrite failed\n");
        if (!batch.finish().isEmpty())
            std::fprintf(stderr, "rewrite sync failed\n");
    });
    return t; // the folder goes with the rest at the end
}

void writeLines(const QString& path, const QStringList& lines)
{
    writeText(path, lines.join('\n') + '\n');
}

// The floor of a grab: open, seek back to the nearest keyframe at or before
// `t` (stepping further back while the seek lands on a later one, as
// program streams do) and decode forward to the frame showing at `t`; no
// conversion, no file.
bool bareDecode(const QByteArray& file, double t)
{
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, file.constData(), nullptr, nullptr) < 0)
        return false;
    bool found = false;
    AVCodecContext* dec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int index = avformat_find_stream_info(ctx, nullptr) < 0
                          ? -1
                          : av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        const AVStream* st = ctx->streams[index];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        dec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(dec, st->codecpar);
        const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        const int64_t target = start + int64_t(t * st->time_base.den / st->time_base.num);
        int64_t seekTo = target;
        int64_t step = st->time_base.den / (4 * st->time_base.num);
        bool late = true;
        if (avcodec_open2(dec, codec, nullptr) >= 0) {
            while (late && avformat_seek_file(ctx, index, INT64_MIN, seekTo, seekTo, 0) >= 0) {
                late = false;
                avcodec_flush_buffers(dec);
                bool keySeen = false;
                while (!found && !late && av_read_frame(ctx, packet) >= 0) {
                    if (packet->stream_index == index && !keySeen && (packet->flags & AV_PKT_FLAG_KEY)) {
                        keySeen = true;
                        late = seekTo > start && packet->pts != AV_NOPTS_VALUE && packet->pts > target;
                    }
                    if (!late && packet->stream_index == index && avcodec_send_packet(dec, packet) >= 0)
                        while (avcodec_receive_frame(dec, frame) >= 0)
                            found = found || frame->best_effort_timestamp >= target;
                    av_packet_unref(packet);
                }
                seekTo = std::max(start, seekTo - step);
                step *= 2;
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&dec);
    avformat_close_input(&ctx);
    return found;
}

// Grabs at several positions of generated clips against the bare decode.
void grabFigures(const QString& dir, int runs)
{
    av_log_set_level(AV_LOG_QUIET);
    struct Clip {
        const char* what;
        QStringList codec;
    } clips[] = {{"MPEG-2 720x576, keyframe every 12", {"-s", "720x576", "-c:v", "mpeg2video", "-g", "12", "-q:v", "4"}},
                 {"MPEG-4 640x480, keyframe every 250", {"-s", "640x480", "-c:v", "mpeg4", "-g", "250", "-q:v", "4"}}};
    const double positions[] = {1.0, 12.34, 30.0, 47.5, 59.0};
    FfmpegMediaDetector detector;
    QDir().mkpath(dir);
    for (const auto& clip : clips) {
        const QString file = dir + "/grab-clip." + (clip.codec.contains("mpeg4") ? "avi" : "mpg");
        if (QProcess::execute("ffmpeg", QStringList{"-v", "quiet", "-y", "-f", "lavfi", "-i", "testsrc=duration=60:rate=25"}
                                            + clip.codec + QStringList{file}) != 0) {
            std::printf("grab: ffmpeg cannot make the clip, skipped\n");
            return;
        }
        std::printf("grab, %s (min of %d runs):\n", clip.what, runs);
        for (const double t : positions) {
            Figure bare, grab;
            const QString bmp = dir + "/grab.bmp";
            for (int r = 0; r < runs; ++r) {
                bare.runs.push_back(seconds([&] {
                    if (!bareDecode(QFile::encodeName(file), t))
                        std::fprintf(stderr, "bare decode failed at %g\n", t);
                }));
                grab.runs.push_back(seconds([&] {
                    if (!detector.writeFrame(file, t, bmp))
                        std::fprintf(stderr, "grab failed at %g\n", t);
                }));
            }
            std::printf("  at %6.2f s  bare decode %7.2f ms  grab %7.2f ms  %5.2fx\n", t, bare.min() * 1000,
                        grab.min() * 1000, grab.min() / bare.min());
        }
        QFile::remove(file);
    }
}

int usage()
{
    std::fprintf(stderr,
                 "usage: vimra_bench [--objects N | --versions V] [--media M] [--storages S] [--segments K]\n"
                 "                   [--runs R] [--dir FOLDER] [--record OUTFOLDER] [--open-only]\n"
                 "  --open-only times the floor and the open only (for profiling the open), and its peak memory.\n"
                 "  --record writes the registry after open, the messages and status texts, and the\n"
                 "  files save-as writes into OUTFOLDER instead of timing (see compare.sh).\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Shape shape;
    int runs = 5;
    QString dir = QDir::tempPath() + "/vimra-bench";
    QString record;
    int objects = 0;
    bool openOnly = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == "--open-only") {
            openOnly = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString v = args[++i];
        if (a == "--objects")
            objects = v.toInt();
        else if (a == "--versions")
            shape.versions = v.toInt();
        else if (a == "--media")
            shape.media = v.toInt();
        else if (a == "--storages")
            shape.storages = v.toInt();
        else if (a == "--segments")
            shape.segments = v.toInt();
        else if (a == "--runs")
            runs = std::max(1, v.toInt());
        else if (a == "--dir")
            dir = QDir(v).absolutePath();
        else if (a == "--record")
            record = QDir(v).absolutePath();
        else
            return usage();
    }
    if (objects > 0)
    {
        // The smallest document with at least that many objects.
        Shape one = shape;
        one.versions = 1;
        const int perVersion = one.openedObjects() - 1;
        shape.versions = std::max(0, (objects - 1 + perVersion - 1) / perVersion);
    }

    StringTable::setLanguage(StringTable::Language::English);
    setPrompts(&g_prompts);
    setDocumentUi(&g_ui);
    xmlSetGenericErrorFunc(nullptr, silence);

    QDir().mkpath(dir);
    QFile::remove(dir + "/vimra.xsd");
    QFile::copy(QStringLiteral(VIMRA_RESOURCES "/vimra.xsd"), dir + "/vimra.xsd");
    writeText(dir + "/vimra.conf", "[Vimra]\nXSDPath=" + dir + "/vimra.xsd\n");
    qputenv("VIMRA_CONFIG", (dir + "/vimra.conf").toLocal8Bit());

    const int expected = shape.openedObjects();
    const Generated empty = generate(dir + "/empty", "Empty", Shape{0, 0, 0, 0});
    const Generated gen = generate(dir + "/doc", "Film", shape);
    const int files = static_cast<int>(QDir(dir + "/doc/Film_files").entryList(QDir::Files).size()) + 1;

    if (!record.isEmpty()) {
        QDir(record).removeRecursively();
        QDir().mkpath(record);
        g_ui.bRecord = true;
        auto doc = openDoc(gen.docPath, newStore());
        QStringList registry;
        for (const auto& obj : doc->collObjects())
            registry << obj->className() + " " + obj->strGUID();
        writeLines(record + "/registry.txt", registry);
        writeLines(record + "/open-status.txt", g_ui.status);
        g_ui.status.clear();
        QDir().mkpath(record + "/saved");
        if (!doc->bSaveAs(record + "/saved/Copy.xml"))
            std::fprintf(stderr, "save-as failed\n");
        writeLines(record + "/saveas-status.txt", g_ui.status);
        writeLines(record + "/messages.txt", g_prompts.messages);
        doc->release();
        std::printf("recorded %d objects into %s\n", expected, qPrintable(record));
        return 0;
    }

    std::printf("document: %d versions x %d media x %d storages = %d objects opened "
                "(%d files with %d segments per expression)\n",
                shape.versions, shape.media, shape.storages, expected, files, shape.segments);

    Figure floor;
    for (int r = 0; r < runs; ++r)
        floor.runs.push_back(seconds([&] {
            for (const QString& f : gen.openedFiles) {
                xmlDocPtr d = xmlReadFile(QFile::encodeName(f).constData(), nullptr, XML_PARSE_NONET);
                if (!d) {
                    std::fprintf(stderr, "floor: cannot parse %s\n", qPrintable(f));
                    std::exit(1);
                }
                xmlFreeDoc(d);
            }
        }));

    // Measured in turn with the open, run by run, so that the ratios hold
    // under a changing load.
    ParseFloors floors;
    Figure open;
    std::vector<long> openFaults;
    // Under load the wall-clock time says little: the open's own processor
    // time, on its thread and on all, says what it costs.
    Figure openMainCpu, openCpu;
    const auto cpuSeconds = [](const rusage& u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    for (int r = 0; r < runs; ++r) {
        floors.measure(gen.openedFiles);
        std::shared_ptr<AVDocument> doc;
        rusage before{}, after{}, threadBefore{}, threadAfter{};
        getrusage(RUSAGE_SELF, &before);
        getrusage(RUSAGE_THREAD, &threadBefore);
        open.runs.push_back(seconds([&] { doc = openDoc(gen.docPath, newStore()); }));
        getrusage(RUSAGE_THREAD, &threadAfter);
        getrusage(RUSAGE_SELF, &after);
        openFaults.push_back(after.ru_minflt - before.ru_minflt);
        openMainCpu.runs.push_back(cpuSeconds(threadAfter) - cpuSeconds(threadBefore));
        openCpu.runs.push_back(cpuSeconds(after) - cpuSeconds(before));
        checkRegistered(*doc, expected);
        doc->release();
    }
    if (openOnly) {
        std::printf("floor min %.4f s; open, in run order:", floor.min());
        for (size_t i = 0; i < open.runs.size(); ++i)
            std::printf(" %.4f s (%ld page faults)", open.runs[i], openFaults[i]);
        std::printf("\nopen min %.4f s, median %.4f s; processor time min %.4f s on its thread, %.4f s in all\n",
                    open.min(), open.median(), openMainCpu.min(), openCpu.min());
        floors.print(open.min());
        const long emptyPeak = peakOfOpen(empty.docPath);
        const long peak = peakOfOpen(gen.docPath);
        std::printf("peak memory of open %.1f KiB per object\n", double(peak - emptyPeak) / expected);
        QDir(dir).removeRecursively();
        return 0;
    }

    Figure saveOne;
    {
        auto doc = openDoc(gen.docPath, newStore());
        std::shared_ptr<Storage> storage;
        for (const auto& obj : doc->collObjects())
            if ((storage = std::dynamic_pointer_cast<Storage>(obj)))
                break;
        for (int r = 0; storage && r < runs; ++r) {
            storage->setStrNamedField(QStringLiteral("Notes"), QStringLiteral("Changed %1").arg(r));
            saveOne.runs.push_back(seconds([&] {
                if (!doc->bSave())
                    std::fprintf(stderr, "save failed\n");
            }));
        }
        doc->release();
        if (saveOne.runs.empty())
            saveOne.runs.push_back(0);
    }

    // Every object changed (as after a long session of edits), then saved in place.
    Figure saveAll;
    {
        auto doc = openDoc(gen.docPath, newStore());
        for (int r = 0; r < runs; ++r) {
            for (const auto& item : doc->collObjects())
                if (const auto obj = std::dynamic_pointer_cast<DocObject>(item); obj && obj != doc)
                    if (const auto fields = obj->secol(); fields && fields->Count() > 0)
                        fields->Item(1)->bChanged = true;
            saveAll.runs.push_back(seconds([&] {
                if (!doc->bSave())
                    std::fprintf(stderr, "save failed\n");
            }));
        }
        doc->release();
    }

    Figure saveAs;
    double writeFloor = 0;
    for (int r = 0; r < runs; ++r) {
        auto doc = openDoc(gen.docPath, newStore());
        const QString target = dir + "/saveas/Copy" + QString::number(r) + ".xml";
        QDir().mkpath(dir + "/saveas");
        saveAs.runs.push_back(seconds([&] {
            if (!doc->bSaveAs(target))
                std::fprintf(stderr, "save-as failed\n");
        }));
        doc->release();
        if (r == 0)
            writeFloor = timeRewrite(target, dir + "/rewrite");
    }
    // Deleted only now: a file system that avoids reusing the inodes of files
    // deleted a moment ago would make every later run search past them.
    for (int r = 0; r < runs; ++r)
        removeTree(dir + "/saveas/Copy" + QString::number(r) + ".xml");

    const long emptyPeak = peakOfOpen(empty.docPath);
    const long peak = peakOfOpen(gen.docPath);
    {
        auto doc = openDoc(empty.docPath, newStore());
        checkRegistered(*doc, 1);
        doc->release();
    }

    const double f = floor.min();
    const auto row = [&](const char* name, const Figure& fig) {
        std::printf("%-22s min %9.4f s  median %9.4f s  %7.1fx floor\n", name, fig.min(), fig.median(),
                    fig.min() / f);
    };
    row("floor (parse only)", floor);
    row("open", open);
    std::printf("%-22s min %9.4f s on its thread, %.4f s in all\n", "  processor time", openMainCpu.min(),
                openCpu.min());
    floors.print(open.min());
    row("save one changed", saveOne);
    row("save every changed", saveAll);
    row("save-as", saveAs);
    std::printf("%-22s %.2fx save-as\n", "save every / save-as", saveAll.min() / saveAs.min());
    std::printf("%-22s once     %9.4f s  %7.1fx floor; save-as is %.2fx this (its files written again,\n"
                "%-22s each made whole and put in place, one sync at the end)\n",
                "write floor", writeFloor, writeFloor / f, saveAs.min() / writeFloor, "");
    std::printf("%-22s %ld KiB above an empty document's (%ld KiB), %.1f KiB per object\n", "peak memory of open",
                peak - emptyPeak, emptyPeak, double(peak - emptyPeak) / expected);
    grabFigures(dir + "/grab", runs);
    QDir(dir).removeRecursively();
    return 0;
}
