// The configuration record and the system tables from the recorder, as the setup window takes
// them: the record from a transfer payload (CRC checked) or as bare record bytes, every field
// read, every page's state read from it, the tables' entries listed, and the record sealed and
// taken back unchanged.
//
// Input: one byte of choices (bit 0: bare record bytes, bits 1-2: channel count, bit 3: the
// extended table present, bits 4-5: the user, bits 6-7: which reads the record takes: every
// field and the tables' entries, or one of three groups of pages), three big-endian 16-bit
// lengths of the tables (SYS_ETC_INFO, SYS_ETC_INFO_EX, DST_INFO), those tables, then the
// payload. One group of reads per input keeps each input cheap; the sealing round trip is
// checked for every input.
#include "fuzz_input.h"
#include "setup/model/account_rights_page.h"
#include "setup/model/assignment_page.h"
#include "setup/model/basic_page.h"
#include "setup/model/camera_name_page.h"
#include "setup/model/camera_setting_page.h"
#include "setup/model/client_account_page.h"
#include "setup/model/dst_setup_page.h"
#include "setup/model/event_action_page.h"
#include "setup/model/link_page.h"
#include "setup/model/mail_page.h"
#include "setup/model/ntp_setup_page.h"
#include "setup/model/osd_page.h"
#include "setup/model/profile_page.h"
#include "setup/model/ptz_setup_page.h"
#include "setup/model/recording_page.h"
#include "setup/model/spot_setting_page.h"

#include <algorithm>
#include <cstdlib>

using namespace kalder;

namespace {

std::vector<std::byte> copy(std::span<const std::byte> s) {
    return {s.begin(), s.end()};
}

// The pages read the fields they show; here each field's first and last element and one past
// its end (which must read as nothing) are read.
void readEveryField(const ConfigRecord& record) {
    for (const ConfigField& f : configFields()) {
        for (std::size_t i : {std::size_t(0), std::size_t(f.count - 1), std::size_t(f.count)}) {
            if (f.kind == FieldClass::Text)
                (void)record.text(f, i);
            else
                (void)record.value(f, i);
        }
    }
    if (record.value(configFields().front(), configFields().front().count) != 0)
        std::abort();
    for (std::size_t a = 0; a <= 8; ++a)
        for (std::size_t k = 0; k <= 8; ++k)
            (void)record.right(a, k);
}

void readPages(const ConfigRecord& record, const SetupContext& context, unsigned group) {
    switch (group) {
    case 1:
        (void)readAccountRights(record);
        (void)readAssignment(record);
        (void)readBasic(record, context);
        (void)readCameraNames(record, context);
        (void)readCameraSetting(record, context);
        (void)readClientAccount(record, context);
        (void)readDst(record);
        for (EventActionPage page : {EventActionPage::A, EventActionPage::B, EventActionPage::C})
            (void)readEventAction(record, context, page);
        break;
    case 2:
        for (unsigned ch = 0; ch <= 16; ++ch) {
            (void)readLinks(record, ch);
            (void)readRegion(record, ch);
        }
        (void)readMail(record, context);
        (void)readNtp(record);
        (void)readOsd(record, context);
        break;
    default:
        for (int p = 0; p < 6; ++p)
            (void)readProfile(record, context, static_cast<RecProfile>(p));
        (void)readPtzSetup(record);
        (void)readPtzController(record);
        (void)readRecording(record, context);
        (void)readSpotSetting(record, context);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t choices = in.u8();
    const std::uint16_t etcLength = in.u16(), exLength = in.u16(), dstLength = in.u16();

    SetupContext context;
    context.channelNum = (choices & 6) == 0 ? 4 : (choices & 6) == 2 ? 8 : 16;
    context.userIndex = (choices >> 4) & 3;
    // The tables' places all lie in their first 4 KB, and the record with the longest tail a
    // transfer may carry in 16 KB: longer inputs only cost time.
    constexpr std::size_t kTableLimit = 4096, kPayloadLimit = 16384;
    context.tables.sysEtcInfo = copy(in.take(std::min<std::size_t>(etcLength, kTableLimit)));
    context.tables.sysEtcInfoEx = copy(in.take(std::min<std::size_t>(exLength, kTableLimit)));
    context.tables.sysEtcInfoExPresent = (choices & 8) != 0;
    context.tables.dstTable = copy(in.take(std::min<std::size_t>(dstLength, kTableLimit)));
    const unsigned group = choices >> 6;
    if (group == 0) {
        (void)serialTypeEntries(serialDeviceTypes(context.tables, SerialTable::PtzProtocols));
        (void)serialTypeEntries(serialDeviceTypes(context.tables, SerialTable::Keyboards));
        (void)dstModeEntries(regionalDstRules(context.tables));
    }

    const std::span<const std::byte> payload = in.take(kPayloadLimit);
    std::optional<ConfigRecord> record;
    if (choices & 1) {
        record = ConfigRecord::fromRecordBytes(payload);
    } else {
        record = ConfigRecord::fromTransfer(payload);
        if (!record)
            return 0;
        if (record->transferLength() != payload.size())
            std::abort();
    }
    context.version = record->version();
    if (group == 0)
        readEveryField(*record);
    else
        readPages(*record, context, group);

    // Sealed and taken back, the record is the same: bytes no page wrote go back as they came.
    const std::vector<std::byte> sealed = record->seal();
    if (sealed.size() != record->transferLength() || !verifyConfigTransfer(sealed))
        std::abort();
    const auto back = ConfigRecord::fromTransfer(sealed);
    if (!back || !(*back == *record))
        std::abort();

    std::vector<std::byte> bytes = copy(payload);
    configToHostOrder(bytes);
    configToNetworkOrder(bytes);
    if (bytes != copy(payload))
        std::abort();
    return 0;
}
