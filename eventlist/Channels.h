#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The tracks an edit line records. The list's channel field names video, audio 1 and audio 2
// together: V, A (audio 1), A2, AA (both audios), B (video and audio 1), A2/V, AA/V, or NONE.
// Audio 3 and 4 stand on a line of their own after the event line: AUD 3, AUD 4, AUD 3 4.
struct Channels {
    bool video = false;
    bool audio1 = false;
    bool audio2 = false;
    bool audio3 = false;
    bool audio4 = false;

    // The channel field for video and audio 1 and 2, at most four characters.
    std::string fieldText() const;
    // The channels a field names, in upper or lower case; nullopt for any other text.
    static std::optional<Channels> fromField(std::string_view field);

    // "AUD 3", "AUD 4" or "AUD 3 4"; empty when the line records neither.
    std::string audioLineText() const;

    // Kestrix's insert edit mode byte names its channels with bits: 0x10 video, 0x01 audio 1,
    // 0x02 audio 2. Audio 3 and 4 have no bit.
    std::uint8_t insertBits() const;
    static Channels fromInsertBits(std::uint8_t bits);

    // Video and both audios: what an assemble edit records.
    bool recordsEverything() const { return video && audio1 && audio2; }

    bool operator==(const Channels&) const = default;
};
