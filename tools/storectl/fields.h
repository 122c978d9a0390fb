// The field table of the three records, derived from their types: each record type is described
// once, as its members' names with the compiler's offsetof and the members' declared types, and
// every record that embeds it reuses that description. Nothing here states an offset or a size.
#ifndef STORECTL_FIELDS_H
#define STORECTL_FIELDS_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "sharememory.h"

namespace storectl {

// How a value is read. Byte arrays are texts, as the records declare their texts (char or
// uint8_t arrays); the few byte arrays that are not texts are described as `bytes`.
enum class Kind : uint8_t { unsigned_int, signed_int, real, text, bytes, array, record };

struct Type;

struct Member {
    const char *name;
    uint32_t offset;
    const Type *type;
};

struct Type {
    Kind kind;
    uint32_t size;
    uint32_t align;
    const char *name; // scalars and records; texts, bytes and arrays are named by their shape
    const Type *element = nullptr;
    uint32_t count = 0; // elements of an array
    const Member *members = nullptr;
    uint32_t member_count = 0;
};

template <typename T> struct Describe;

template <typename T> inline constexpr const Type &type_of = Describe<T>::type;

template <typename T> constexpr Type number(Kind kind, const char *name)
{
    return Type{kind, sizeof(T), alignof(T), name};
}

template <> struct Describe<uint8_t> {
    static constexpr Type type = number<uint8_t>(Kind::unsigned_int, "uint8_t");
};
template <> struct Describe<int8_t> {
    static constexpr Type type = number<int8_t>(Kind::signed_int, "int8_t");
};
template <> struct Describe<uint16_t> {
    static constexpr Type type = number<uint16_t>(Kind::unsigned_int, "uint16_t");
};
template <> struct Describe<int16_t> {
    static constexpr Type type = number<int16_t>(Kind::signed_int, "int16_t");
};
template <> struct Describe<uint32_t> {
    static constexpr Type type = number<uint32_t>(Kind::unsigned_int, "uint32_t");
};
template <> struct Describe<int32_t> {
    static constexpr Type type = number<int32_t>(Kind::signed_int, "int32_t");
};
template <> struct Describe<float> {
    static constexpr Type type = number<float>(Kind::real, "float");
};
template <> struct Describe<double> {
    static constexpr Type type = number<double>(Kind::real, "double");
};

template <typename E>
inline constexpr bool is_character = std::is_same_v<E, char> || std::is_same_v<E, unsigned char>;

template <typename E, size_t count> constexpr Type array_type()
{
    if constexpr (is_character<E>)
        return Type{Kind::text, count, 1, nullptr};
    else
        return Type{Kind::array, sizeof(E[count]), alignof(E), nullptr, &type_of<E>, count};
}

template <typename E, size_t count> struct Describe<E[count]> {
    static constexpr Type type = array_type<E, count>();
};

template <size_t count> inline constexpr Type bytes_type{Kind::bytes, count, 1, nullptr};

template <typename Record, size_t count>
constexpr Type record_type(const char *name, const Member (&members)[count])
{
    return Type{Kind::record, sizeof(Record), alignof(Record), name, nullptr, 0, members, count};
}

template <typename T> constexpr Member member(const char *name, size_t offset)
{
    return Member{name, static_cast<uint32_t>(offset), &type_of<T>};
}

// A description lists every member of its type: brace initialisation of the type takes one
// value per member, one per element of an array member, and no more, so the count the
// description predicts must be exactly the count the compiler accepts.
struct Filler {
    template <typename T> constexpr operator T() const { return T{}; }
};

template <typename Record, size_t... index>
constexpr auto initialises(std::index_sequence<index...>)
    -> decltype(Record{(void(index), Filler{})...}, true)
{
    return true;
}
template <typename Record> constexpr bool initialises(...)
{
    return false;
}

constexpr size_t values_in(const Type &type)
{
    if (type.kind == Kind::array)
        return type.count * values_in(*type.element);
    if (type.kind == Kind::text || type.kind == Kind::bytes)
        return type.size;
    return 1;
}

template <typename Record, size_t count>
constexpr bool takes_exactly = initialises<Record>(std::make_index_sequence<count>{}) &&
                               !initialises<Record>(std::make_index_sequence<count + 1>{});

constexpr size_t values_in_members(const Type &record)
{
    size_t count = 0;
    for (uint32_t i = 0; i < record.member_count; ++i)
        count += values_in(*record.members[i].type);
    return count;
}

#define DESCRIBE(Record, ...) \
    template <> struct Describe<Record> { \
        using R = Record; \
        static constexpr Member members[] = {__VA_ARGS__}; \
        static constexpr Type type = record_type<Record>(#Record, members); \
    }; \
    static_assert(takes_exactly<Record, values_in_members(type_of<Record>)>, \
                  "the description of " #Record " must list every member")
#define M(name) member<decltype(R::name)>(#name, offsetof(R, name))
// clang-format off
#define BYTES(name) Member{#name, offsetof(R, name), &bytes_type<sizeof(R::name)>}
// clang-format on

DESCRIBE(MsgSwitchPara, M(Enable), M(Type));
DESCRIBE(MsgCfgPara, M(MsgID), M(Interval), M(time), M(Available));
DESCRIBE(TransDSPara, M(Switch), M(NMEA), M(EPH), M(RTCM23), M(RTCM30), M(RTCM32), M(CMR), M(Binex),
         M(QX), M(Weather), M(Custom), M(RTCM2V518));
DESCRIBE(DiffDSPara, M(Switch), M(RTCM23), M(RTCM30), M(RTCM32), M(CMR), M(Custom));
DESCRIBE(RecordDSPara, M(Switch), M(NMEA), M(EPH), M(Custom));
DESCRIBE(BTDSPara, M(Switch), M(NMEA));
DESCRIBE(SysDSPara, M(System));

DESCRIBE(DataCallConfig, M(apn), M(uname), M(upwd), M(enable), M(checkOpt), M(checkAddr));
DESCRIBE(DataCallInfo, M(csq), M(imei), M(model), M(iccid), M(sim_state), M(connect_state));
DESCRIBE(WlanConfig, M(sw), M(mode), M(ap_ssid), M(ap_pwd), M(sta_ssid), M(key_type), M(sta_pwd),
         M(ip));
DESCRIBE(RadioConfig, M(freq), M(sw), M(mode), M(protocol), M(power), M(RadioDSPara), M(compatib));
DESCRIBE(RadioMessage, M(ver), M(type), M(baud), M(protocol), M(freq), M(mode));
DESCRIBE(BTConfig, M(Name), M(Enable), M(Mode), BYTES(addr), M(DSPara));
DESCRIBE(DDNSConfig, M(enable), M(server_name), M(user_name), M(password), M(domain));
DESCRIBE(PORTVIAConfig, M(enable), M(authtoken), M(domain));
DESCRIBE(TUNNEXConfig, M(enable), M(authtoken), M(domain), M(region));

DESCRIBE(Coordinates, M(Longitude), M(LonDirection), M(Latitude), M(LatDirection), M(Elevation),
         M(Available));
DESCRIBE(RinexHeaderInfo, M(ObserverName), M(AgencyName));
DESCRIBE(AntennaConfig, M(RinexName), M(CurAerkind), M(High), M(MeasuredHigh), M(MeasurementType),
         M(Installation));
DESCRIBE(RecFileConfig, M(RecFolderName), M(FileType), M(RecMode), M(RecInterval), M(RecMaxSpace),
         M(RecFreeSpace), M(RecCircular), M(RecDSPara));
DESCRIBE(EthTCPConfig, M(WorkMode), M(LocalPort), M(ServerIP), M(ServerPort), M(EncryptFlag),
         M(PassWord), M(MaxConNum), M(TCPDSPara), M(DS_Flag));
DESCRIBE(NtripClientConfig, M(ClientEnable), M(ServerIP), M(ServerPort), M(UserName), M(UserPwd),
         M(MountPoint));
DESCRIBE(NtripServerConfig, M(Version), M(CasterIP), M(CasterPort), M(UserName), M(UserPwd),
         M(MountPoint), M(ServerDSPara));
DESCRIBE(FtpPushConfig, M(Enable), M(ServerIP), M(ServerPort), M(UsrName), M(Password),
         M(RemotePath), M(LocalPath), M(FilePath), M(RecID), M(RecDevice), M(PushState));
DESCRIBE(MailServiceConfig, M(Enable), M(MailServer), M(ServerPort), M(MailFrom), M(MailPwd),
         M(Mail2Usr1), M(Mail2Usr2), M(Mail2Usr3), M(MailContent));
DESCRIBE(ID_KT5RW_Config, M(interval), M(delay));
DESCRIBE(INSConfig, M(enable), M(mode), M(axial), M(initSV));
DESCRIBE(SerialPortConfig, M(Baudrate), M(ComMode), M(Verify), M(COMDSPara));
DESCRIBE(RelayhubConfig, M(Enable), M(ServerIP), M(ServerPort), M(UserName), M(UserPwd));
DESCRIBE(NtripCasterConfig, M(Enable), M(Version), M(CasterIP), M(CasterPort), M(UserName),
         M(UserPwd));
DESCRIBE(JT808Config, M(Enable), M(Auth), M(ServerType), M(Protocol), M(ServerIP), M(ServerPort),
         M(District), M(PlateColor), M(PlateNumber), M(VendorID), M(AuthCode), M(IMEI));
DESCRIBE(PPPConfig, M(pppEnable), M(pppSource), M(mode));

// reserved is the receiver daemon's and holds no text.
DESCRIBE(ReceiverConfig, M(SerialNum), M(HWVersion), M(SWVersion), M(RTKVersion), M(RTKModel),
         M(BBVersion), M(BOOTVersion), M(RDVersion), M(RDModel), M(DPVersion), M(SWDate), M(MAC),
         M(IP), M(NetMask), M(Gateway), M(DNS1), M(DNS2), M(HttpPort), M(FtpPort), M(DeviceName),
         M(AutoGetIP), BYTES(reserved), M(StationID), M(WorkMode), M(PPS), M(Event), M(PDOPLimit),
         M(MaskAngle), M(MoothFun), M(GPSEnable), M(BDEnable), M(GLOEnable), M(GALEnable),
         M(DataCall_C), M(StationPos), M(RinexHeader), M(Antenna), M(RecConf), M(TCP),
         M(NtripClientUsr), M(NtripServerUsr), M(SystemDSPara), M(FtpPush), M(MailAlarm), M(Wlan),
         M(Radio), M(Radio_Msg), M(BT), M(DDNS), M(PORTVIA), M(KT5RW), M(TUNNEX), M(user), M(pawd),
         M(INS), M(QZSSEnable), M(COM), M(relayhubConfig), M(ntripcasterConfig), M(jt808Config),
         M(pppConfig));

DESCRIBE(Operate, M(OperateEntry), M(OperateState));
DESCRIBE(ReceiverMonitor, M(Temperature), M(AllSpace), M(FreeSpace), M(TCPLinkState), M(RecState),
         M(CurPosition), M(StationState), M(NtripClientState), M(NtripServerState), M(SourceTable),
         M(GetSourceAvailable), M(DataCall_I), M(ConfigSave), M(DSParaUpdate), M(op), M(reserved),
         M(StationIDSate), M(WebAvailable), M(FirmAvailable), M(MatchAerkind), M(TempAerkind),
         M(OEMversion), M(DelFile), M(RunTime), M(Voltage), M(UpgradeProgress),
         M(HasReadenProgress), M(IMUState), M(Ant1SQI), M(Ant2SQI), M(k418_satnum), M(pppState));

DESCRIBE(GGAInfo, M(utc), M(latitude), M(latdir), M(longitude), M(londir), M(fix_status),
         M(fix_satellite), M(hdop), M(altitude), M(alt_unit), M(undulation), M(und_unit), M(age),
         M(station_id), M(checksum), M(available));
DESCRIBE(ZDAInfo, M(utc), M(day), M(month), M(year), M(checksum), M(available));
DESCRIBE(GPSTime, M(gps_w), M(gps_s));
DESCRIBE(K418Header, M(h_len), M(sat_num), M(gprs_ss), M(bt_ss), M(bat_sts), M(temp), M(f_flag1),
         M(f_flag2), M(dlink_sts), M(diff_mes), M(work_mode), M(fix_sts), M(diff_age), M(pdop),
         M(rms), M(res1), M(lat), M(lon), M(high), M(undu), M(covr_e), M(covr_n), M(covr_v),
         M(f_h1), M(f_h2), M(u_sat_num), M(t_sat_num));
DESCRIBE(K418Sattilite, M(prn), M(azi), M(ele), M(l1_sta), M(l1_snr), M(l1_rms), M(l1_lost_no),
         M(l2_sta), M(l2_snr), M(l2_rms), M(l2_lost_no), M(l3_sta), M(l3_snr), M(l3_rms),
         M(l3_lost_no), M(l4_sta), M(l4_snr), M(l4_rms), M(l4_lost_no), M(l5_sta), M(l5_snr),
         M(l5_rms), M(l5_lost_no), M(code_type));
DESCRIBE(K418Info, M(time), M(msg_header), M(sat_para));
DESCRIBE(PSRDOPInfo, M(gdop), M(pdop), M(hdop), M(htdop), M(tdop), M(vdop));
DESCRIBE(XYZCoordinates, M(X), M(Y), M(Z), M(available));
DESCRIBE(YBMInfo, M(utc), M(latitude), M(longitude), M(altitude), M(Heading), M(Pitch), M(Vel_N),
         M(Vel_E), M(Vel_D), M(Vel_G), M(heading_status), M(available));
// The binary forms of the board's messages are no texts; their A forms are.
DESCRIBE(GNSSInfo, M(NMEA), M(K418A), M(TIMEA), M(BESTPOSA), M(PSRDOPA), M(GGA), M(ZDA), M(K418),
         M(DOP), M(XYZ), BYTES(K418B), BYTES(BESTPOSB), BYTES(TIMEB), BYTES(PSRDOPB), M(ZDA_MSG),
         M(YBM));

#undef BYTES
#undef M
#undef DESCRIBE

enum class Fault : uint8_t { none, syntax, no_member, not_a_record, not_an_array, index_range };

// Where a path leads, or how far it got: `consumed` characters of the path name `type` at
// `offset`, and the next step failed with `fault`.
struct Place {
    Fault fault;
    uint32_t offset;
    const Type *type;
    size_t consumed;
};

constexpr bool is_name_character(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Member names separated by dots, each followed by any number of [index].
constexpr Place resolve(const Type &root, std::string_view path, uint32_t base = 0)
{
    Place place{Fault::none, base, &root, 0};
    size_t at = 0;
    bool first = true;
    while (at < path.size()) {
        if (path[at] == '[') {
            size_t close = path.find(']', at);
            if (close == std::string_view::npos || close == at + 1)
                return {Fault::syntax, place.offset, place.type, at};
            uint64_t index = 0;
            for (size_t i = at + 1; i < close; ++i) {
                if (path[i] < '0' || path[i] > '9' || index > UINT32_MAX)
                    return {Fault::syntax, place.offset, place.type, at};
                index = index * 10 + static_cast<uint64_t>(path[i] - '0');
            }
            if (place.type->kind != Kind::array)
                return {Fault::not_an_array, place.offset, place.type, at};
            if (index >= place.type->count)
                return {Fault::index_range, place.offset, place.type, at};
            place.offset += static_cast<uint32_t>(index) * place.type->element->size;
            place.type = place.type->element;
            at = close + 1;
            place.consumed = at;
            continue;
        }
        size_t start = at;
        if (!first) {
            if (path[at] != '.')
                return {Fault::syntax, place.offset, place.type, at};
            start = at + 1;
        }
        size_t end = start;
        while (end < path.size() && is_name_character(path[end]))
            ++end;
        if (end == start)
            return {Fault::syntax, place.offset, place.type, at};
        if (place.type->kind != Kind::record)
            return {Fault::not_a_record, place.offset, place.type, at};
        const std::string_view name = path.substr(start, end - start);
        // An index, not a pointer: GCC's null-pointer sanitizer makes a pointer test
        // unusable in a constant expression.
        uint32_t found = place.type->member_count;
        for (uint32_t i = 0; i < place.type->member_count; ++i)
            if (name == place.type->members[i].name)
                found = i;
        if (found == place.type->member_count)
            return {Fault::no_member, place.offset, place.type, at};
        place.offset += place.type->members[found].offset;
        place.type = place.type->members[found].type;
        at = end;
        place.consumed = at;
        first = false;
    }
    if (first)
        return {Fault::syntax, place.offset, place.type, 0};
    return place;
}

// The records' own layout checks pin these members; the paths must land on the same bytes.
constexpr bool lands_on(const Type &root, std::string_view path, size_t offset, size_t size)
{
    const Place place = resolve(root, path);
    return place.fault == Fault::none && place.offset == offset && place.type->size == size;
}
#define LANDS_ON(Record, path) \
    static_assert(lands_on(type_of<Record>, #path, offsetof(Record, path), \
                           sizeof(std::declval<Record &>().path)), \
                  #Record "." #path)
LANDS_ON(ReceiverConfig, TUNNEX.domain);
LANDS_ON(ReceiverConfig, RecConf[1].RecFolderName);
LANDS_ON(ReceiverConfig, NtripServerUsr[1].ServerDSPara);
LANDS_ON(ReceiverConfig, TCP[1].TCPDSPara.NMEA[3].time);
LANDS_ON(ReceiverConfig, BT.Enable);
LANDS_ON(ReceiverConfig, COM[1].COMDSPara);
LANDS_ON(ReceiverMonitor, op.OperateState);
LANDS_ON(ReceiverMonitor, DataCall_I.connect_state);
LANDS_ON(ReceiverMonitor, SourceTable[199]);
LANDS_ON(GNSSInfo, K418.msg_header.lat);
LANDS_ON(GNSSInfo, K418.sat_para[63].code_type);
#undef LANDS_ON

} // namespace storectl

#endif
