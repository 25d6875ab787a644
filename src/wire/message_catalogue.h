#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

// Message ids (bits 15-7 of the code word). A sent and a received message may share an id: the id
// space is per direction (BYE48 goes both ways; TRANS_OFF_REQ travels as id 102, the id of the
// recorder's TRANS_ON_NACK).
namespace MessageId {
enum : std::uint16_t {
    HELLO = 1,
    BYE48 = 4,
    HELLO48_ACK = 5,
    LIVE_REQ = 16,
    LIVE_CHANNEL_INFO = 17,
    LIVE_DATA = 18,
    LIVE_NACK = 19,
    LIVE_STOP = 20,
    LIVE_STOP_ACK = 21,
    LIVE_STOP_NACK = 22,
    AUDIO_ONOFF_REQ = 23,
    SYS_ETC_INFO_EX = 24,
    REC_ON_REQ = 32,
    REC_ON_ACK = 33,
    REC_ON_NACK = 34,
    REC_OFF_REQ = 35,
    REC_OFF_ACK = 36,
    REC_OFF_NACK = 37,
    PLAY_PREV_STEP = 42,
    PLAY_BACKWARD = 43,
    PLAY_FORWARD = 44,
    PLAY_PAUSE = 45,
    PLAY_NEXT_STEP = 46,
    PLAY_ON_REQ = 51,
    PLAY_CHANNEL_INFO = 52,
    PLAY_ON_ACK = 53,
    PLAY_ON_NACK = 54,
    RPLAY_STOP = 55,
    PLAY_OFF_ACK = 56,
    PLAY_OFF_NACK = 57,
    PLAY_STEP_DATA = 61,
    PLAY_CH_CHANGE = 62,
    PLAY_STEP_ACK = 63,
    TRANS_ON_REQ = 99,
    TRANS_ON_ACK = 101,
    TRANS_ON_NACK = 102,
    TRANS_OFF_REQ = 102,
    TRANS_OFF_ACK = 104,
    TRANS_OFF_NACK = 105,
    DB_INFO_REQ = 112,
    DB_INFO_ACK = 113,
    DB48_INFO_NACK = 114,
    DB_UPDATE_REQ = 115,
    DB_UPDATE_ACK = 116,
    DB_UPDATE_NACK = 117,
    DST_INFO = 125,
    DVR_TIME_REQ = 126,
    DVR_TIME_ACK = 127,
    FW_UPDATE_REQ = 144,
    FW_UPDATE_ACK = 145,
    FW_DATA = 146,
    NETLIVE_CH_CHANGE = 153,
    REC_STATUS = 256,
    NOTICE_257 = 257,
    DB_CHANGE = 258,
    SYS_ETC_INFO = 259,
    PLAY_INFO_MONTH_REQ = 260,
    PLAY_INFO_MONTH_ACK = 261,
    PLAY_INFO_MONTH_NACK = 262,
    PLAY_INFO_DAY_REQ = 263,
    PLAY_INFO_DAY_ACK = 264,
    PLAY_INFO_DAY_NACK = 265,
    PLAY_DATA = 266,
    PLAY_ON_FAIL = 267,
    PLAY_ON_DONE = 268,
    RIGHT_CHANGE = 270,
    A_LISTEN_REQ = 272,
    A_LISTEN_ACK = 273,
    A_LISTEN_NACK = 274,
    A_TALK_DATA = 275,
    A_LISTEN_STOP_REQ = 276,
    A_LISTEN_STOP_ACK = 277,
    PTZ_CHANNEL_REQ = 282,
    PTZ_CHANNEL_ACK = 283,
    PTZ_MOVE_REQ = 284,
    PTZ_MOVE_STOP = 285,
    TRANS_INFO_MONTH_REQ = 288,
    TRANS_INFO_MONTH_ACK = 289,
    TRANS_INFO_MONTH_NACK = 290,
    TRANS_INFO_DAY_REQ = 291,
    TRANS_INFO_DAY_ACK = 292,
    TRANS_INFO_DAY_NACK = 293,
    TRANS_DATA_REQ = 294,
    TRANS_ON_DATA = 295,
    TRANS_ON_DONE = 297,
    TRANS_ON_FAIL = 298,
    CAPA_CAL_CANCEL = 299,
    FW_UPDATE_NACK = 304,
    FW_DATA_RX_DONE = 305,
    FW_DATA_RX_FAIL = 306,
    FW_UPDATE_DONE = 307,
    FW_UPDATE_FAIL = 308,
    LOG_INFO_REQ = 320,
    LOG_INFO_ACK = 321,
    LOG_INFO_NACK = 322,
    SYSTEM_INFO_REQ = 323,
    SYSTEM_INFO_ACK = 324,
    SYSTEM_INFO_NACK = 325,
    STATUS_INFO_REQ = 326,
    STATUS_INFO_ACK = 327,
    STATUS_INFO_NACK = 328,
    EVENT_INFO_REQ = 329,
    EVENT_INFO_ACK = 330,
    EVENT_INFO_NACK = 331,
    DB_INIT_REQ = 336,
    DB_INIT_ACK = 337,
    DB_INIT_NACK = 338,
    SEND_TEST_MAIL_REQ = 339,
    SEND_TEST_MAIL_ACK = 340,
    SEND_TEST_MAIL_NACK = 341,
    REBOOT_REQ = 342,
    REBOOT_ACK = 343,
    REBOOT_NACK = 344,
    POWEROFF_REQ = 345,
    POWEROFF_ACK = 346,
    POWEROFF_NACK = 347,
    ALIVE_REQ = 511,
};
} // namespace MessageId

enum class Direction : std::uint8_t { ToRecorder, ToClient, Both };

// What a message carries after its header.
enum class PayloadRule : std::uint8_t {
    None,      // payloadLength 0; the receiver reads nothing
    Fixed,     // exactly `payloadSize` bytes
    Nack,      // a reply code (4 or 12 bytes)
    Fragments, // one piece of a data item; bit 14 of the fragment flags ends the item
    Variable,  // a size the owning exchange defines (`payloadSize` is a typical size or 0)
};

struct MessageInfo {
    std::uint16_t id;
    const char* name;
    Direction direction;
    PayloadRule payload;
    std::uint32_t payloadSize;
};

// Every message this client sends or understands.
std::span<const MessageInfo> messageCatalogue();

// The entry for `id` travelling in `direction` (an entry marked Both matches either).
const MessageInfo* findMessage(std::uint16_t id, Direction direction);

} // namespace kalder
