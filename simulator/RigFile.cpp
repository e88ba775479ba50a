#include "simulator/RigFile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <utility>

#include "simulator/PixelFormats.h"

namespace Quibbon::Sim {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxBoards = 16;
constexpr size_t kMaxCameras = 16;
constexpr size_t kMaxText = kInfoTextSize - 1;
constexpr int64_t kMaxFrameRate = 1000000;
constexpr int64_t kMaxFaultValue = INT32_MAX;
// Decoded, every sample takes two bytes: 4 GiB holds some 40 images of 4096 x 4096 RGB.
constexpr uint64_t kMaxImageBytes = uint64_t{4} << 30;

constexpr std::pair<const char*, uint32_t> kPatterns[] = {
    {"moving-ramp", kPatternMovingRamp}, {"still-ramp", kPatternStillRamp}, {"checkerboard", kPatternCheckerboard},
    {"colour-bars", kPatternColourBars}, {"images", kPatternImages},
};

std::string CameraSizeRule() {
    return std::to_string(kCameraMinSize) + " to " + std::to_string(kCameraMaxSize) + " a side, a multiple of " +
           std::to_string(kCameraSizeStep);
}

// Two digits of an index, for default serial numbers.
std::string TwoDigits(size_t index) { return (index < 10 ? "0" : "") + std::to_string(index); }

// Model letter by the kind of data the format carries.
char ModelLetter(const PixelFormatInfo& format) {
    switch (format.layout) {
        case Layout::Mono:
        case Layout::MonoSigned:
        case Layout::Packed12:
            return 'M';
        case Layout::Bayer:
            return 'B';
        default:
            return 'C';
    }
}

// Reads one rig file. Every problem ends the reading with a RigFileError naming the file and,
// where a key or table is to blame, its line.
class RigFileReader {
public:
    explicit RigFileReader(std::string path) : m_path(std::move(path)), m_folder(fs::path(m_path).parent_path()) {}

    std::shared_ptr<const Rig> Read() { return ReadText(ReadFile()); }

    std::shared_ptr<const Rig> ReadText(const std::string& text) {
        if (text.size() > kMaxFileBytes) {
            Fail({}, "is longer than " + std::to_string(kMaxFileBytes) + " bytes");
        }
        const toml::table root = Parse(text);
        CheckKeys(root, {"board"});
        const toml::array& boards = TableArray(root, "board", "[[board]]");
        if (boards.empty()) {
            Fail({}, "no [[board]] in the rig");
        }
        auto rig = std::make_shared<Rig>();
        std::set<std::string> ids;
        for (size_t index = 0; index < boards.size(); ++index) {
            const toml::table& board = *boards[index].as_table();
            if (index == kMaxBoards) {
                Fail(board.source(), "more than " + std::to_string(kMaxBoards) + " boards");
            }
            rig->boards.push_back(ReadBoard(board, index));
            if (!ids.insert(rig->boards.back()->id).second) {
                Fail(board.source(), "board id '" + rig->boards.back()->id + "' is used twice");
            }
        }
        return rig;
    }

private:
    [[noreturn]] void Fail(const toml::source_region& where, const std::string& problem) const {
        const std::string line = where.begin.line > 0 ? ":" + std::to_string(where.begin.line) : "";
        throw RigFileError(m_path + line + ": " + problem);
    }

    std::string ReadFile() const {
        std::error_code error;
        if (fs::is_directory(m_path, error)) {
            Fail({}, "is a folder, not a rig file");
        }
        std::ifstream file(m_path, std::ios::binary);
        if (!file) {
            Fail({}, std::string("cannot be read (") + std::strerror(errno) + ")");
        }
        // One byte more than allowed tells a file that is too long from one that just fits.
        std::string text(kMaxFileBytes + 1, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (file.bad()) {
            Fail({}, "cannot be read");
        }
        text.resize(static_cast<size_t>(file.gcount()));
        return text;
    }

    toml::table Parse(const std::string& text) const {
        try {
            return toml::parse(text, m_path);
        } catch (const toml::parse_error& error) {
            Fail(error.source(), std::string(error.description()));
        }
    }

    // Refuses the first key (in file order) that is not one of known.
    void CheckKeys(const toml::table& table, std::initializer_list<std::string_view> known) const {
        const toml::key* unknown = nullptr;
        for (const auto& [key, value] : table) {
            if (std::find(known.begin(), known.end(), key.str()) == known.end() &&
                (unknown == nullptr || key.source().begin < unknown->source().begin)) {
                unknown = &key;
            }
        }
        if (unknown != nullptr) {
            Fail(unknown->source(), "unknown key '" + std::string(unknown->str()) + "'");
        }
    }

    // The array of tables written as header (e.g. [[board]]); empty when the key is missing.
    const toml::array& TableArray(const toml::table& table, const char* key, const char* header) const {
        static const toml::array kNone;
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return kNone;
        }
        const toml::array* array = node->as_array();
        if (array == nullptr || !array->is_array_of_tables()) {
            Fail(node->source(), "'" + std::string(key) + "' must be written as " + header + " tables");
        }
        return *array;
    }

    std::string Text(const toml::table& table, const char* key, const std::string& fallback) const {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return fallback;
        }
        const std::optional<std::string> text = node->value_exact<std::string>();
        if (!text || text->empty() || text->size() > kMaxText) {
            Fail(node->source(),
                 "'" + std::string(key) + "' must be a text of 1 to " + std::to_string(kMaxText) + " characters");
        }
        // Texts are handed out as C strings and shown to users: a NUL would cut them short.
        if (std::any_of(text->begin(), text->end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; })) {
            Fail(node->source(), "'" + std::string(key) + "' must not hold control characters");
        }
        return *text;
    }

    // A whole number from min to max; fallback when the key is missing.
    int64_t Number(const toml::table& table, const char* key, int64_t fallback, int64_t min, int64_t max) const {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return fallback;
        }
        const std::optional<int64_t> number = node->value_exact<int64_t>();
        if (!number || *number < min || *number > max) {
            Fail(node->source(), "'" + std::string(key) + "' must be a whole number from " + std::to_string(min) +
                                     " to " + std::to_string(max));
        }
        return *number;
    }

    // Width or height: given, else fallback (the images' size or the default).
    uint32_t Size(const toml::table& table, const char* key, uint32_t fallback) const {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return fallback;
        }
        const std::optional<int64_t> size = node->value_exact<int64_t>();
        if (!size || !IsValidCameraSize(*size)) {
            Fail(node->source(), "'" + std::string(key) + "' must be a multiple of " +
                                     std::to_string(kCameraSizeStep) + " from " + std::to_string(kCameraMinSize) +
                                     " to " + std::to_string(kCameraMaxSize));
        }
        return static_cast<uint32_t>(*size);
    }

    std::shared_ptr<const Board> ReadBoard(const toml::table& table, size_t index) {
        CheckKeys(table, {"id", "display_name", "camera"});
        auto board = std::make_shared<Board>();
        board->id = Text(table, "id", "Board" + std::to_string(index));
        board->prefix = kBoardPrefix;
        board->displayName = Text(table, "display_name", DefaultDisplayName(index));
        const toml::array& cameras = TableArray(table, "camera", "[[board.camera]]");
        std::set<std::string> ids;
        for (size_t slot = 0; slot < cameras.size(); ++slot) {
            const toml::table& camera = *cameras[slot].as_table();
            if (slot == kMaxCameras) {
                Fail(camera.source(),
                     "more than " + std::to_string(kMaxCameras) + " cameras on board '" + board->id + "'");
            }
            try {
                board->cameras.push_back(std::make_shared<Camera>(ReadCamera(camera, index, slot)));
            } catch (const UserSetError& refused) {
                Fail(toml::source_region{{refused.Line(), 1}, {refused.Line(), 1}, nullptr}, refused.what());
            }
            if (!ids.insert(board->cameras.back()->Identity().id).second) {
                Fail(camera.source(), "camera id '" + board->cameras.back()->Identity().id +
                                          "' is used twice on board '" + board->id + "'");
            }
        }
        return board;
    }

    CameraConfig ReadCamera(const toml::table& table, size_t board, size_t slot) {
        CheckKeys(table, {"id", "vendor", "model", "serial", "user_name", "width", "height", "pixel_format",
                          "frame_rate", "pattern", "images", "video", "loop", "faults", "profile", "user_set",
                          "user_set_default"});
        CameraConfig config;
        config.profile = Profile(table);
        config.images = Images(table);
        ReadVideo(table, config);
        ReadSize(table, config);
        const PixelFormatInfo& format = PixelFormat(table);
        config.identity.id = Text(table, "id", "Cam" + std::to_string(board) + std::to_string(slot));
        config.identity.vendor = Text(table, "vendor", kDefaultVendor);
        config.identity.model = Text(table, "model", "QC-" + std::to_string(config.width) + ModelLetter(format));
        config.identity.serialNumber = Text(table, "serial", "BX7Q" + TwoDigits(board) + TwoDigits(slot));
        config.identity.userName = Text(table, "user_name", kDefaultUserName);
        config.identity.pixelFormat = format.code;
        ReadFrameRate(table, config);
        config.pattern = Pattern(table, config.images != nullptr);
        config.loop = Loop(table, config);
        config.faults = Faults(table);
        ReadUserSets(table, config);
        return config;
    }

    // [board.camera.user_set.UserSetN] tables (SFNC feature = value) and user_set_default.
    void ReadUserSets(const toml::table& camera, CameraConfig& config) const {
        const toml::node* node = camera.get("user_set");
        const toml::table* sets = node != nullptr ? node->as_table() : nullptr;
        if (node != nullptr && (sets == nullptr || config.profile != CameraProfile::Sfnc)) {
            Fail(node->source(), sets == nullptr ? "'user_set' must be written as [board.camera.user_set.UserSet1] tables"
                                                 : "user sets need profile = \"sfnc\"");
        }
        if (sets != nullptr) {
            CheckKeys(*sets, {"UserSet1", "UserSet2", "UserSet3"});
            for (const auto& [key, value] : *sets) {
                const toml::table* set = value.as_table();
                if (set == nullptr) {
                    Fail(value.source(), "'" + std::string(key.str()) + "' must be written as a table");
                }
                config.userSets.push_back({static_cast<uint32_t>(key.str().back() - '0'), UserSetFeatures(*set)});
            }
        }
        const std::string name = Text(camera, "user_set_default", "Default");
        if (name != "Default") {
            const auto given = std::find_if(config.userSets.begin(), config.userSets.end(), [&name](const UserSetConfig& set) {
                return name == "UserSet" + std::to_string(set.set);
            });
            if (given == config.userSets.end()) {
                Fail(camera.get("user_set_default")->source(),
                     "user_set_default '" + name + "' is not Default or a user set the camera is given");
            }
            config.userSetDefault = given->set;
        }
    }

    // The features of one set in file order, so that a selector comes before what it selects.
    std::vector<UserSetFeature> UserSetFeatures(const toml::table& set) const {
        std::vector<UserSetFeature> features;
        for (const auto& [key, value] : set) {
            UserSetFeature feature{std::string(key.str()), std::nullopt, 0.0, key.source().begin.line};
            if (const auto text = value.value_exact<std::string>()) {
                feature.entry = *text;
            } else if (const auto flag = value.value_exact<bool>()) {
                feature.number = *flag ? 1.0 : 0.0;
            } else if (const auto number = value.value<double>()) {
                feature.number = *number;
            } else {
                Fail(value.source(), "'" + feature.feature + "' must be an entry name, a number or true or false");
            }
            features.push_back(std::move(feature));
        }
        std::sort(features.begin(), features.end(),
                  [](const UserSetFeature& a, const UserSetFeature& b) { return a.line < b.line; });
        return features;
    }

    // The images of the folder the camera names, decoded once for all cameras that name it.
    std::shared_ptr<const ImageSet> Images(const toml::table& table) {
        const toml::node* node = table.get("images");
        if (node == nullptr) {
            return nullptr;
        }
        const fs::path folder = m_folder / Text(table, "images", "");
        std::shared_ptr<const ImageSet>& images = m_imageSets[folder.lexically_normal().string()];
        if (!images) {
            try {
                images = LoadImageFolder(folder.string(), kCameraMaxSize, kMaxImageBytes - m_imageBytes);
            } catch (const std::runtime_error& problem) {
                Fail(node->source(), problem.what());
            }
            m_imageBytes += images->bytes;
        }
        if (!IsValidCameraSize(images->width) || !IsValidCameraSize(images->height)) {
            Fail(node->source(), "images in '" + folder.string() + "' are " + std::to_string(images->width) + "x" +
                                     std::to_string(images->height) + ", not a camera size (" + CameraSizeRule() +
                                     ")");
        }
        return images;
    }

    // The video the camera names, opened once for all cameras that name it; its first frame
    // stands for it as the camera's images.
    void ReadVideo(const toml::table& table, CameraConfig& config) {
        const toml::node* node = table.get("video");
        if (node == nullptr) {
            return;
        }
        if (config.images) {
            Fail(node->source(), "'video' and 'images' cannot both be given");
        }
        const fs::path file = m_folder / Text(table, "video", "");
        std::shared_ptr<const VideoClip>& video = m_videos[file.lexically_normal().string()];
        if (!video) {
            try {
                video = LoadVideoClip(file.string(), kCameraMaxSize);
            } catch (const std::runtime_error& problem) {
                Fail(node->source(), "video '" + file.string() + "' " + problem.what());
            }
        }
        if (!IsValidCameraSize(video->width) || !IsValidCameraSize(video->height)) {
            Fail(node->source(), "video '" + file.string() + "' is " + std::to_string(video->width) + "x" +
                                     std::to_string(video->height) + ", not a camera size (" + CameraSizeRule() + ")");
        }
        config.images = FirstFrameImages(*video);
        config.video = video;
    }

    // A whole number of frames a second, or "source" for a video's own time stamps.
    void ReadFrameRate(const toml::table& table, CameraConfig& config) const {
        const toml::node* node = table.get("frame_rate");
        if (node == nullptr || !node->is_string()) {
            config.frameRate = static_cast<uint32_t>(Number(table, "frame_rate", 60, 0, kMaxFrameRate));
            return;
        }
        if (Text(table, "frame_rate", "") != "source") {
            Fail(node->source(), "'frame_rate' must be a whole number from 0 to " + std::to_string(kMaxFrameRate) +
                                     " or \"source\"");
        }
        if (!config.video) {
            Fail(node->source(), "frame_rate \"source\" needs a 'video' to take frame times from");
        }
        config.sourcePaced = true;
        config.frameRate = config.video->AverageFrameRate();
    }

    bool Loop(const toml::table& table, const CameraConfig& config) const {
        const toml::node* node = table.get("loop");
        if (node == nullptr) {
            return true;
        }
        const std::optional<bool> loop = node->value_exact<bool>();
        if (!loop) {
            Fail(node->source(), "'loop' must be true or false");
        }
        if (!config.images) {
            Fail(node->source(), "'loop' needs 'images' or a 'video' to replay");
        }
        return *loop;
    }

    void ReadSize(const toml::table& table, CameraConfig& config) const {
        config.width = Size(table, "width", config.images ? config.images->width : config.width);
        config.height = Size(table, "height", config.images ? config.images->height : config.height);
        if (config.images && (config.width != config.images->width || config.height != config.images->height)) {
            const toml::node* set = table.get(config.width != config.images->width ? "width" : "height");
            Fail(set->source(), "the camera is " + std::to_string(config.width) + "x" + std::to_string(config.height) +
                                    " but its images in '" + config.images->folder + "' are " +
                                    std::to_string(config.images->width) + "x" + std::to_string(config.images->height));
        }
    }

    const PixelFormatInfo& PixelFormat(const toml::table& table) const {
        const std::string name = Text(table, "pixel_format", "Mono8");
        const PixelFormatInfo* begin = PixelFormatsBegin();
        const PixelFormatInfo* end = begin + PixelFormatCount();
        const PixelFormatInfo* found =
            std::find_if(begin, end, [&name](const PixelFormatInfo& format) { return name == format.name; });
        if (found == end) {
            Fail(table.get("pixel_format")->source(), "unknown pixel format '" + name + "'");
        }
        return *found;
    }

    CameraProfile Profile(const toml::table& table) const {
        const std::string name = Text(table, "profile", "basic");
        if (name == "sfnc") {
            return CameraProfile::Sfnc;
        }
        if (name != "basic") {
            Fail(table.get("profile")->source(), "unknown profile '" + name + "' (basic or sfnc)");
        }
        return CameraProfile::Basic;
    }

    uint32_t Pattern(const toml::table& table, bool hasImages) const {
        const std::string name = Text(table, "pattern", hasImages ? "images" : "moving-ramp");
        const auto* found = std::find_if(std::begin(kPatterns), std::end(kPatterns),
                                         [&name](const auto& pattern) { return name == pattern.first; });
        if (found == std::end(kPatterns)) {
            Fail(table.get("pattern")->source(), "unknown pattern '" + name +
                                                     "' (moving-ramp, still-ramp, checkerboard, colour-bars or images)");
        }
        if (found->second == kPatternImages && !hasImages) {
            Fail(table.get("pattern")->source(), "pattern 'images' needs an 'images' folder or a 'video'");
        }
        return found->second;
    }

    FaultSettings Faults(const toml::table& camera) const {
        const toml::node* node = camera.get("faults");
        if (node == nullptr) {
            return {};
        }
        const toml::table* table = node->as_table();
        if (table == nullptr) {
            Fail(node->source(), "'faults' must be written as a [board.camera.faults] table");
        }
        CheckKeys(*table, {"fail_every", "timeout_every", "delay_ms", "drop_every", "incomplete_every"});
        auto value = [&](const char* key) { return static_cast<uint32_t>(Number(*table, key, 0, 0, kMaxFaultValue)); };
        return {value("fail_every"), value("timeout_every"), value("delay_ms"), value("drop_every"),
                value("incomplete_every")};
    }

    const std::string m_path;
    const fs::path m_folder;
    std::map<std::string, std::shared_ptr<const ImageSet>> m_imageSets;  // by folder
    std::map<std::string, std::shared_ptr<const VideoClip>> m_videos;     // by file
    uint64_t m_imageBytes = 0;                                           // of all folders' images
};

}  // namespace

std::shared_ptr<const Rig> LoadRigFile(const std::string& path) { return RigFileReader(path).Read(); }

std::shared_ptr<const Rig> ReadRigText(const std::string& text, const std::string& path) {
    return RigFileReader(path).ReadText(text);
}

}  // namespace Quibbon::Sim
