// make_recording: writes one camera recording described on the command line.
//
//   make_recording --out 00000001_2012-03-03_101500.3gp --video h264 --audio aac
//       --seconds 60 --start "2012-03-03 02:15:00" --zone 80 --dst --dl-element 1

#include "tools/frame_header_writer/frame_header_writer.h"
#include "platform/unicode_run.h"
#include "tools/recording_writer/camera_recording.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/program_options.hpp>

#include <iostream>

namespace po = boost::program_options;

namespace {

std::uint32_t ParseStart(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        return static_cast<std::uint32_t>(std::stoul(text));
    }
    const boost::posix_time::ptime t = boost::posix_time::time_from_string(text);
    const boost::posix_time::ptime epoch(boost::gregorian::date(1970, 1, 1));
    return static_cast<std::uint32_t>((t - epoch).total_seconds());
}

int Run(int argc, char** argv) {
    recording_writer::CameraRecordingOptions o;
    std::string out;
    std::string start;
    int dlElement = -1;
    po::options_description options("make_recording options");
    options.add_options()("help,h", "this text")("out,o", po::value(&out)->required(), "file to write")(
        "video", po::value(&o.video)->default_value(o.video), "h264, hevc, mp4v, jpeg, h263 or none")(
        "audio", po::value(&o.audio)->default_value(o.audio), "aac, amr, ulaw, alaw or none")(
        "seconds", po::value(&o.seconds)->default_value(o.seconds), "length of the recording")(
        "fps", po::value(&o.framesPerSecond)->default_value(o.framesPerSecond), "video frames per second")(
        "key-interval", po::value(&o.keyFrameInterval)->default_value(o.keyFrameInterval), "frames per key frame")(
        "key-size", po::value(&o.keyFrameSize)->default_value(o.keyFrameSize), "bytes of a key frame")(
        "frame-size", po::value(&o.frameSize)->default_value(o.frameSize), "bytes of another frame")(
        "start", po::value(&start),
        "camera UTC time of the first frame: seconds since 1970 or \"YYYY-MM-DD HH:MM:SS\"")(
        "milliseconds", po::value(&o.startMilliseconds)->default_value(0), "milliseconds of the start time")(
        "zone", po::value<unsigned>()->default_value(48), "time-zone index of the headers (48 = UTC)")(
        "dst", po::bool_switch(&o.daylightSaving), "camera applied daylight saving")(
        "dl-element", po::value(&dlElement), "add the daylight-saving element to the extra data (0 or 1)")(
        "no-header-tracks", "write the media tracks without their header tracks")("moov-first", "moov before mdat")(
        "version1", "64-bit movie, track and media headers")("co64", "64-bit chunk offsets")(
        "embedded", "embed the media file behind a prefix with a trailer");
    po::variables_map vm;
    po::store(po::parse_command_line(argc, argv, options), vm);
    if (vm.count("help")) {
        std::cout << options << "\n";
        return 0;
    }
    po::notify(vm);
    if (!start.empty()) {
        o.startUtc = ParseStart(start);
    }
    o.zoneIndex = static_cast<std::uint8_t>(vm["zone"].as<unsigned>() & 0x7F);
    o.headerTracks = vm.count("no-header-tracks") == 0;
    if (dlElement >= 0) {
        o.extraData = frame_writer::DaylightSavingElement(dlElement != 0);
    }
    recording_writer::Recording r = recording_writer::CameraRecording(o);
    if (vm.count("moov-first")) {
        r.pieces = {recording_writer::Piece::Ftyp(), recording_writer::Piece::Moov(), recording_writer::Piece::Mdat()};
    }
    r.headerVersion = vm.count("version1") ? 1 : 0;
    r.co64 = vm.count("co64") != 0;
    r.embedded = vm.count("embedded") != 0;
    recording_writer::WriteRecording(r, out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The writer takes its file name as UTF-8 on Windows.
    const platform::UnicodeRun unicode(argc, argv);
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "make_recording: " << e.what() << "\n";
        return 1;
    }
}
