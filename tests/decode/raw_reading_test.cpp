// The RAW paths through the photo reader: what the reader answers is what the bridge makes of the
// same file in this process; a file renamed over its path is read as one whole version; each job
// makes one development of the size it needs; a reading that ends otherwise than in an answer or
// a refusal reaches the user in its own words.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "core/compute/lanczos_scale.h"
#include "core/decode/libraw_fallback.h"
#include "core/decode/raw_file.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_thumbnail.h"
#include "core/imageio/thumbnail_size.h"
#include "core/reading/raw_answers.h"
#include "core/reading/sealed_file.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using fixtures::SyntheticDNGOptions;
using loader_testing::LoaderTest;
using rawbridge::testing::Rendering;
using Bytes = std::vector<std::byte>;

constexpr int kThumbnailSide = Thumbnail::maximumSide;

// A 480 × 360 camera file of a gradient (its thumbnail is scaled to fit): a Bayer mosaic the
// sensor read takes, full-colour pixels, or a cyan, magenta, yellow and green mosaic, which LibRaw
// develops whole.
enum class Kind { bayer, linear, fourColour };

SyntheticDNGOptions photoOf(Kind kind, int width = 480, int height = 360) {
    SyntheticDNGOptions options;
    options.width = width;
    options.height = height;
    options.scene = fixtures::gradientScene(width, height);
    options.linearRaw = kind == Kind::linear;
    if (kind == Kind::fourColour) options.cfaColours = std::array<std::uint8_t, 4>{3, 4, 5, 1};
    return options;
}

Bytes bytes(const Texture& texture) { return testing::readBytes(texture); }

Bytes bytes(const std::uint16_t* rgba, int width, int height) {
    const auto* first = reinterpret_cast<const std::byte*>(rgba);
    return {first, first + static_cast<std::size_t>(width) * height * 8};
}

Bytes bytes(const Rendering& rendering) {
    EXPECT_EQ(rendering.result, 0) << rendering.error;
    return bytes(rendering.rgba.get(), rendering.width, rendering.height);
}

// What the program shows of a file, made by the bridge in this process: the thumbnail fitted as
// the reader fits it, LibRaw's development, and the sensor's own development.
Bytes bridgeThumbnail(const fs::path& file) {
    char error[1024] = {};
    std::int32_t size[2] = {};
    std::uint16_t* rgba = nullptr;
    EXPECT_EQ(qx_raw_thumbnail(file.c_str(), size, &rgba, error, sizeof error), 0) << error;
    const rawbridge::testing::BridgeBuffer<std::uint16_t> owned(rgba);
    const Device device;
    const auto developed = device.makeTexture({PixelFormat::rgba16Float, size[0], size[1]});
    developed->replaceRegion({0, 0, size[0], size[1]}, rgba, std::size_t(size[0]) * 8);
    const auto [width, height] = Thumbnail::fittedSize(size[0], size[1], kThumbnailSide);
    const auto fitted = device.makeTexture({PixelFormat::rgba16Float, width, height});
    lanczosScale(*developed, *fitted);
    return bytes(*fitted);
}

Bytes bridgeDevelopment(const fs::path& file) {
    return bytes(rawbridge::testing::developOriginal(file));
}

Bytes bridgeSensorDevelopment(const fs::path& file) {
    const auto read = rawbridge::testing::readSensor(file);
    EXPECT_EQ(read.result, 0) << read.error;
    return bytes(rawbridge::testing::renderSensor(file, read.metadata, read.plane.get()));
}

// Exchanges the two names at once (renameat2): each names the other's file from then on.
void exchange(const fs::path& one, const fs::path& other) {
    ASSERT_EQ(renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE), 0);
}

// The pixels a reader answered for a thumbnail or a development of an opened file.
Bytes answeredPixels(ReaderAnswer answer, int width, int height) {
    EXPECT_EQ(answer.files.size(), 1u);
    std::optional<SealedFile> file = SealedFile::accept(answer.files.front().release(),
                                                        raw_answers::developedBytes(width, height));
    if (!file) return {};
    return {file->data(), file->data() + file->size()};
}

Bytes thumbnailOf(const OpenedFile& file) {
    ReaderAnswer answer =
        PhotoReader::forProcess().ask(file, {reader_protocol::JobKind::rawThumbnail,
                                             raw_answers::encodeThumbnailParams(kThumbnailSide),
                                             {}});
    const auto [width, height] = raw_answers::decodeThumbnailAnswer(answer.body);
    return answeredPixels(std::move(answer), width, height);
}

Bytes developmentOf(const OpenedFile& file) {
    ReaderAnswer answer =
        PhotoReader::forProcess().ask(file, {reader_protocol::JobKind::rawDevelopment, {}, {}});
    const raw_answers::DevelopmentAnswer developed =
        raw_answers::decodeDevelopmentAnswer(answer.body);
    return answeredPixels(std::move(answer), developed.width, developed.height);
}

class RAWReadingTest : public LoaderTest {
  protected:
    fs::path photo(Kind kind, const std::string& name = "photo.dng") {
        return syntheticDNG(name, photoOf(kind));
    }

    // A loader whose every reading goes to `reader`.
    std::unique_ptr<RAWLoader> loaderReadingWith(PhotoReader& reader) const {
        return std::make_unique<RAWLoader>(device,
                                           std::make_shared<RAWFilterAdapterProvider>(&reader),
                                           NeuralModelTimeouts{}, &reader);
    }

    // A reader program of the test's own: a shell script that does `body`.
    fs::path readerScript(const std::string& name, const std::string& body) const {
        const fs::path script = photoPath(name);
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }
};

// The reader's thumbnails of every kind of RAW file are the bridge's, fitted in this process.
TEST_F(RAWReadingTest, ThumbnailsThroughTheReaderAreTheBridgesOwn) {
    for (const Kind kind : {Kind::bayer, Kind::linear, Kind::fourColour}) {
        const fs::path file = photo(kind, "kind" + std::to_string(int(kind)) + ".dng");
        SCOPED_TRACE(file.filename().string());
        const std::shared_ptr<Texture> thumbnail = linearRAWThumbnail(file, kThumbnailSide);
        ASSERT_NE(thumbnail, nullptr);
        EXPECT_EQ(thumbnail->width(), kThumbnailSide);
        EXPECT_EQ(bytes(*thumbnail), bridgeThumbnail(file));
    }
    // A four-colour mosaic opens through LibRaw's development, the bridge's own.
    const fs::path fourColour = photo(Kind::fourColour);
    const LibRawFallbackImage developed = LibRawFallback::decode(fourColour);
    EXPECT_EQ(bytes(*developed.texture), bridgeDevelopment(fourColour));
    EXPECT_FALSE(developed.supportsDetail);
}

// Whatever is renamed over the path after the program opened the file, each reading reads the
// version opened, whole; a reading that opens the path later reads the version found there.
TEST_F(RAWReadingTest, AFileRenamedOverThePathIsReadAsTheVersionOpened) {
    for (const Kind kind : {Kind::bayer, Kind::linear}) {
        SCOPED_TRACE(kind == Kind::bayer ? "bayer" : "linear");
        const fs::path first = syntheticDNG("first.dng", photoOf(kind, 480, 360)),
                       second = syntheticDNG("second.dng", photoOf(kind, 360, 240)),
                       path = photoPath("photo.dng"), other = photoPath("other.dng");
        fs::copy_file(first, path, fs::copy_options::overwrite_existing);
        fs::copy_file(second, other, fs::copy_options::overwrite_existing);

        // Opened, then the other version renamed over the path before each job's reader reads.
        const std::shared_ptr<const OpenedFile> opened = OpenedFile::open(path);
        exchange(path, other);
        EXPECT_EQ(thumbnailOf(*opened), bridgeThumbnail(first));
        // A thumbnail asked now opens the path, which names the other version.
        EXPECT_EQ(bytes(*linearRAWThumbnail(path, kThumbnailSide)), bridgeThumbnail(second));
        if (kind == Kind::linear) {
            EXPECT_EQ(developmentOf(*opened), bridgeDevelopment(first));
            continue;
        }

        // The sensor is developed as read, after the other version took the path and when the
        // path names nothing.
        const RAWFile file(path);
        exchange(path, other);
        EXPECT_FALSE(file.isCurrent(path));
        EXPECT_EQ(bytes(*file.develop()), bridgeSensorDevelopment(second));
        fs::remove(path);
        EXPECT_EQ(bytes(*file.develop()), bridgeSensorDevelopment(second));
    }
}

// Renamed over its path again and again while it is developed and thumbnailed, the file is read
// each time as one of its two versions, whole, and the program goes on.
TEST_F(RAWReadingTest, AFileRenamedOverThePathAgainAndAgainIsReadWhole) {
    const fs::path first = syntheticDNG("first.dng", photoOf(Kind::linear, 480, 360)),
                   second = syntheticDNG("second.dng", photoOf(Kind::linear, 360, 240)),
                   path = photoPath("photo.dng"), other = photoPath("other.dng");
    fs::copy_file(first, path);
    fs::copy_file(second, other);
    const std::map<int, std::pair<Bytes, Bytes>> versions = {
        {480, {bridgeDevelopment(first), bridgeThumbnail(first)}},
        {360, {bridgeDevelopment(second), bridgeThumbnail(second)}}};

    std::atomic<bool> done = false;
    std::jthread swapper([&] {
        while (!done) exchange(path, other);
    });
    for (int round = 0; round < 4; ++round) {
        const LibRawFallbackImage developed = LibRawFallback::decode(path);
        const auto version = versions.find(developed.texture->width());
        ASSERT_NE(version, versions.end());
        EXPECT_EQ(bytes(*developed.texture), version->second.first);
        const std::shared_ptr<Texture> thumbnail = linearRAWThumbnail(path, kThumbnailSide);
        ASSERT_NE(thumbnail, nullptr);
        const Bytes shown = bytes(*thumbnail);
        EXPECT_TRUE(shown == versions.at(480).second || shown == versions.at(360).second);
    }
    done = true;
}

// The calls of LibRaw the readers of `run` make: unpacks, developments, of which at half size.
struct LibRawCalls {
    int unpacks = 0, developments = 0, halfSize = 0;
    bool operator==(const LibRawCalls&) const = default;
};

// Each job develops once, at the size it needs: the thumbnail of a file LibRaw develops whole at
// half size, its open at full size, and a Bayer sensor's thumbnail and read with no development.
TEST_F(RAWReadingTest, EachJobMakesOneDevelopmentOfTheSizeItNeeds) {
#ifndef QUILLMERE_LIBRAW_CALL_COUNTER
    GTEST_SKIP() << "built without the benchmarks' LibRaw call counter";
#else
    const fs::path calls = photoPath("libraw_calls");
    // The real reader with the counter preloaded: each reader appends its counts as it ends.
    PhotoReader counted(
        readerScript("counted-reader",
                     "LD_PRELOAD='" QUILLMERE_LIBRAW_CALL_COUNTER "' QUILLMERE_LIBRAW_CALLS='" +
                         calls.string() + "' exec '" + PhotoReader::locate().string() + "' \"$@\""),
        ReaderRoom::Budget::ofMachine());
    const auto callsOf = [&](const std::function<void()>& run) {
        fs::remove(calls);
        run();
        LibRawCalls sum;
        std::ifstream lines(calls);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string word;
            int unpacks = 0, developments = 0, half = 0;
            fields >> word >> word >> unpacks >> word >> developments >> word >> half;
            sum.unpacks += unpacks;
            sum.developments += developments;
            sum.halfSize += half;
        }
        return sum;
    };
    const struct {
        Kind kind;
        LibRawCalls thumbnail, open;
    } cases[] = {
        {Kind::bayer, {1, 0, 0}, {1, 1, 0}},
        {Kind::linear, {1, 1, 1}, {1, 1, 0}},
        {Kind::fourColour, {1, 1, 1}, {1, 1, 0}},
    };
    for (const auto& [kind, thumbnail, open] : cases) {
        const fs::path file = photo(kind);
        SCOPED_TRACE(static_cast<int>(kind));
        EXPECT_EQ(callsOf([&] {
                      ASSERT_NE(linearRAWThumbnail(file, kThumbnailSide, &counted), nullptr);
                  }),
                  thumbnail);
        // Opened and developed undenoised at full size; the loader and its readers end before the
        // counts are read.
        EXPECT_EQ(callsOf([&] {
                      const auto reading = loaderReadingWith(counted);
                      reading->open(file);
                      reading->texture(
                          PhotoID{file},
                          {false, PreviewResolution::full, DenoiseMethod::natural, false},
                          testing::never);
                  }),
                  open);
    }
#endif
}

// A reading that ends in neither an answer nor a refusal reaches the user in its own sentence, on
// every path; a file no reader reads keeps the loader's fixed sentence.
TEST_F(RAWReadingTest, AReadingThatEndsOtherwiseReachesTheUserInItsOwnWords) {
    PhotoReader small(PhotoReader::locate(), {4, std::uint64_t{100} << 20});
    PhotoReader crashing(readerScript("crashing-reader", "kill -SEGV $$"), {4, 1u << 30});
    const fs::path none = photoPath("none");
    PhotoReader missing(none / "quillmere-reader", {4, 1u << 30});
    const struct {
        const char* name;
        PhotoReader& reader;
        std::string sentence;
    } cases[] = {
        {"small room", small,
         "photo.dng needs more memory than a photo of 480 × 360 pixels may take."},
        {"crashing reader", crashing, "photo.dng could not be read: its reader crashed."},
        {"missing reader", missing,
         "Quillmere's photo reader quillmere-reader is missing: it is not in " + none.string() +
             ". Build Quillmere again."},
    };
    for (const Kind kind : {Kind::bayer, Kind::linear}) {
        const fs::path file = photo(kind);
        for (const auto& [name, reader, sentence] : cases) {
            SCOPED_TRACE(name);
            EXPECT_EQ(
                testing::failureOf<RAWLoaderError>([&] { loaderReadingWith(reader)->open(file); }),
                std::pair(RAWLoaderError::Code::readingFailed, sentence));
            EXPECT_EQ(linearRAWThumbnail(file, kThumbnailSide, &reader), nullptr);
        }
    }
    const fs::path notes = photoPath("notes.nef");
    loader_testing::writeFile(notes, "not a photo");
    EXPECT_EQ(testing::failureOf<RAWLoaderError>([&] { loader->open(notes); }),
              std::pair(RAWLoaderError::Code::unsupportedFile,
                        std::string("Cannot decode notes.nef as a supported photo.")));
}

// A file whose reading ran out of processor time is read again when the user opens it again.
TEST_F(RAWReadingTest, AFileThatRanOutOfTimeIsReadAgainWhenOpenedAgain) {
    PhotoReader slow(readerScript("slow-reader", "kill -XCPU $$"), {4, std::uint64_t{1} << 30});
    const fs::path file = photo(Kind::bayer);
    for (int open = 0; open < 2; ++open) {
        EXPECT_EQ(testing::messageOf<RAWLoaderError>([&] { loaderReadingWith(slow)->open(file); }),
                  "photo.dng needs more processor time than a photo may take.");
    }
    EXPECT_EQ(slow.readersStarted(), 2u);
}

// A file that crashed LibRaw on identifying it is refused within the reader's claim budget; the
// program goes on and opens its honest twin.
TEST_F(RAWReadingTest, AHostileFileIsRefusedAndItsHonestTwinOpens) {
    for (const char* name : {"cut.nef", "cut.dng"}) {
        SCOPED_TRACE(name);
        const fs::path cut = photoPath(name);
        loader_testing::writeFile(cut, fixtures::tiffDirectoryPastTheEnd());
        EXPECT_EQ(testing::messageOf<RAWLoaderError>([&] { loader->open(cut); }),
                  "Cannot decode " + std::string(name) + " as a supported photo.");
        EXPECT_EQ(linearRAWThumbnail(cut, kThumbnailSide), nullptr);
    }
    EXPECT_EQ(loader->open(photo(Kind::bayer)).pixelWidth, 480);
}

// An honest camera-sized photo of every kind is read within what its claims let its readers take:
// its thumbnail, its sensor with a development of its own plane and of one sent to it, and LibRaw's
// development of a file without a Bayer sensor.
TEST_F(RAWReadingTest, AnHonestTwentyFourMegapixelPhotoOfEveryKindIsReadWithinItsClaims) {
    for (const Kind kind : {Kind::bayer, Kind::linear, Kind::fourColour}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const fs::path file = syntheticDNG("large.dng", photoOf(kind, 6000, 4000));
        EXPECT_EQ(linearRAWThumbnail(file, kThumbnailSide)->width(), kThumbnailSide);
        if (kind != Kind::bayer) {
            EXPECT_EQ(LibRawFallback::decode(file).texture->width(), 6000);
            continue;
        }
        const RAWFile sensor(file);
        EXPECT_EQ(sensor.develop()->width(), 6000);
        const Texture& plane = *sensor.plane();
        const std::size_t planeBytes = plane.bytesPerRow() * plane.height();
        EXPECT_EQ(
            sensor.develop([&](float* sent) { std::memcpy(sent, plane.rowData(0), planeBytes); })
                ->width(),
            6000);
    }
}

// The loader tells a file no reader reads from a reading that ended otherwise, in its own words.
TEST(RAWLoaderErrorTest, AReadingsEndIsTheLoadersErrorInItsOwnWordsUnlessTheFileIsNoPhoto) {
    using Kind = ReadingError::Kind;
    using Code = RAWLoaderError::Code;
    const fs::path file = "/photos/photo.dng";
    const std::pair<Kind, Code> ends[] = {
        {Kind::notFound, Code::fileNotFound},        {Kind::notRegularFile, Code::unsupportedFile},
        {Kind::unreadable, Code::unsupportedFile},   {Kind::refused, Code::unsupportedFile},
        {Kind::timedOut, Code::readingFailed},       {Kind::crashed, Code::readingFailed},
        {Kind::exceededMemory, Code::readingFailed}, {Kind::notRead, Code::readingFailed},
    };
    for (const auto& [kind, code] : ends) {
        const ReadingError reading(kind, file, "a photo of 6000 × 4000 pixels");
        const RAWLoaderError error = RAWLoaderError::ofReading(file, reading);
        EXPECT_EQ(error.code(), code) << reading.what();
        if (code == Code::readingFailed) {
            EXPECT_STREQ(error.what(), reading.what());
        }
    }
    EXPECT_STREQ(RAWLoaderError::ofReading(file, ReadingError::missingReader("Gone.")).what(),
                 "Gone.");
}

// A filter whose reading ends otherwise than in a refusal does not hand the file to the fallback.
TEST_F(RAWReadingTest, ASensorReadingThatEndedOtherwiseIsNotDevelopedByLibRawInstead) {
    struct CrashedReadings final : RAWFilterProvider {
        std::unique_ptr<ConfigurableRAWFilter> makeFilter(const fs::path& url) const override {
            throw ReadingError(ReadingError::Kind::crashed, url);
        }
    };
    RAWLoader crashing(device, std::make_shared<CrashedReadings>());
    EXPECT_EQ(testing::failureOf<RAWLoaderError>([&] { crashing.open(photo(Kind::bayer)); }),
              std::pair(RAWLoaderError::Code::readingFailed,
                        std::string("photo.dng could not be read: its reader crashed.")));
    // A file whose header is no Bayer sensor is refused from its claims, before any memory is
    // asked for it.
    PhotoReader small(PhotoReader::locate(), {4, std::uint64_t{100} << 20});
    EXPECT_EQ(
        testing::failureOf<RAWFilterError>([&] { RAWFile(photo(Kind::linear), small); }).first,
        RAWFilterError::Code::unsupportedFile);
}

// What no honest reader answers is no answer: a thumbnail larger than asked, a development that
// failed but came with pixels, a sensor whose record does not decode.
TEST_F(RAWReadingTest, AnswersNoHonestReaderGivesAreNone) {
    PhotoReader lying(QUILLMERE_LYING_RAW_READER, {4, std::uint64_t{1} << 30});
    const auto lie = [&](const std::string& name, const std::string& text) {
        loader_testing::writeFile(photoPath(name), text);
        return photoPath(name);
    };
    EXPECT_EQ(linearRAWThumbnail(lie("wide.dng", "thumbnail 181 100"), 180, &lying), nullptr);
    EXPECT_EQ(linearRAWThumbnail(lie("fits.dng", "thumbnail 180 100"), 180, &lying)->width(), 180);
    const RAWFile failing(lie("failing.dng", "develops with a failure"), lying);
    EXPECT_EQ(testing::messageOf<ReadingError>([&] { failing.develop(); }),
              "failing.dng could not be read this time.");
    EXPECT_EQ(testing::messageOf<ReadingError>(
                  [&] { RAWFile(lie("bodiless.dng", "sensor without a body"), lying); }),
              "bodiless.dng could not be read this time.");
}

// A development the reader refused keeps its reader, whose refusal is kept for the file.
TEST_F(RAWReadingTest, ARefusedDevelopmentKeepsItsReader) {
    PhotoReader lying(QUILLMERE_LYING_RAW_READER, {4, std::uint64_t{1} << 30});
    loader_testing::writeFile(photoPath("refusing.dng"), "refuses developments");
    const RAWFile refusing(photoPath("refusing.dng"), lying);
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(testing::failureOf<RAWFilterError>([&] { refusing.develop(); }),
                  std::pair(RAWFilterError::Code::developFailed,
                            std::string("The RAW photo could not be developed. The lying reader "
                                        "refuses this development.")));
    }
    EXPECT_EQ(lying.readersStarted(), 1u);
}

// A sensor's reader killed from outside is started again for the next development, which reads the
// opened file anew and refuses it when it was written over in place; one that crashed is not, and
// the file's later developments fail as it did.
TEST_F(RAWReadingTest, ADevelopmentsReaderThatEndedIsStartedAgainUnlessItCrashed) {
    PhotoReader reader(PhotoReader::locate(), ReaderRoom::Budget::ofMachine());
    const fs::path path = photo(Kind::bayer);
    const auto killReader = [](int signal) {
        const std::vector<pid_t> readers = testing::readersOfThisProcess();
        ASSERT_EQ(readers.size(), 1u);
        ::kill(readers.front(), signal);
    };
    {
        const RAWFile file(path, reader);
        const Bytes developed = bytes(*file.develop());
        killReader(SIGKILL);
        EXPECT_EQ(testing::messageOf<ReadingError>([&] { file.develop(); }),
                  "photo.dng could not be read this time.");
        EXPECT_EQ(bytes(*file.develop()), developed);
        EXPECT_EQ(reader.readersStarted(), 2u);

        killReader(SIGKILL);
        EXPECT_THROW(file.develop(), ReadingError);
        // Written over in place: the descriptor the file was opened with reads the new bytes.
        const fs::path other = syntheticDNG("other.dng", photoOf(Kind::bayer, 360, 240));
        loader_testing::writeFile(path, [&] {
            std::ifstream in(other, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }());
        EXPECT_EQ(testing::failureOf<RAWFilterError>([&] { file.develop(); }),
                  std::pair(RAWFilterError::Code::developFailed,
                            std::string("The RAW photo could not be developed. RAW geometry "
                                        "changed since decoding.")));
    }
    const RAWFile file(photo(Kind::bayer, "crashing.dng"), reader);
    killReader(SIGSEGV);
    const std::size_t started = reader.readersStarted();
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(testing::messageOf<ReadingError>([&] { file.develop(); }),
                  "crashing.dng could not be read: its reader crashed.");
    }
    EXPECT_EQ(reader.readersStarted(), started);
}

// A development asks for the reader's own plane or sends one of the sensor's size, sealed; any
// other request is answered as a plane not developed, and the reader goes on.
TEST_F(RAWReadingTest, ADevelopmentOfAPlaneThatIsNotTheSensorsIsAnswered) {
    const std::shared_ptr<const OpenedFile> file = OpenedFile::open(photo(Kind::bayer));
    ReaderAnswer first;
    const std::unique_ptr<ReaderSession> session = PhotoReader::forProcess().openSession(
        *file, {reader_protocol::JobKind::rawSensor, {}, {}}, first);
    const raw_answers::SensorAnswer sensor = raw_answers::decodeSensorAnswer(first.body);
    const auto planeOf = [](std::uint64_t bytes) {
        return makeSealedFile(bytes, [&](std::byte* into) { std::memset(into, 0, bytes); });
    };
    const auto develop = [&](bool own, std::vector<UniqueDescriptor> files) {
        return raw_answers::decodeDevelopAnswer(
            session
                ->ask({reader_protocol::JobKind::rawDevelop, raw_answers::encodeDevelopParams(own),
                       std::move(files)})
                .body);
    };
    const std::string notTheSensors = "The sensor plane to develop is not the sensor's.";
    std::vector<UniqueDescriptor> ownWithAPlane, shortPlane;
    ownWithAPlane.push_back(planeOf(raw_answers::planeBytes(sensor.metadata)));
    shortPlane.push_back(planeOf(raw_answers::planeBytes(sensor.metadata) - 16));
    EXPECT_EQ(develop(false, {}), notTheSensors);
    EXPECT_EQ(develop(true, std::move(ownWithAPlane)), notTheSensors);
    EXPECT_EQ(develop(false, std::move(shortPlane)), notTheSensors);
    EXPECT_EQ(develop(true, {}), "");
}

// A development asked of a reader whose read of the sensor was refused ends that reader: it has
// no sensor to develop.
TEST_F(RAWReadingTest, ADevelopmentAfterARefusedReadEndsItsReader) {
    SyntheticDNGOptions uncalibrated = photoOf(Kind::bayer);
    uncalibrated.whiteLevel = 1000;
    uncalibrated.blackLevels = {1000};
    const std::shared_ptr<const OpenedFile> file =
        OpenedFile::open(syntheticDNG("uncalibrated.dng", uncalibrated));
    ReaderProcess reader(PhotoReader::locate(), *file, std::uint64_t{8} << 30, {});
    const auto admitted = [](const ReaderClaim&) { return true; };
    const ReaderExchange read =
        reader.exchange({reader_protocol::JobKind::rawSensor, {}, {}}, false, admitted, {});
    EXPECT_EQ(read.sentence, "Invalid RAW black/white calibration.");
    const ReaderExchange developed = reader.exchange(
        {reader_protocol::JobKind::rawDevelop, raw_answers::encodeDevelopParams(true), {}}, true,
        admitted, {});
    EXPECT_EQ(verdictOf(developed, reader.end()), ReadingError::Kind::notRead);
}

}  // namespace
}  // namespace quillmere
