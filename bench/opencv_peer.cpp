// The C++ peer of the scene benchmark: what a person would write in C++ with OpenCV
// to do the work of `ormax-cli codes SCENE --level 0`, run as a whole process by
// bench/scene_bench.py.
//   ormax_opencv_peer SCENE.bmp OUTPUT
// Reads the picture in colour, takes the pixels that are not exactly white (255, 255,
// 255), labels their 8-connected regions with connectedComponentsWithStats, adds up
// the raw moments of every region in one pass over the labels, and writes per region
// its bounding box corner, pixel count, centroid and moment ellipse (half-axes and
// angle in radians) as one CSV line:
//   label,x,y,pixels,cx,cy,major,minor,angle
// OUTPUT is the CSV file, or an existing folder to write OUTPUT/regions.csv into.
// One thread (cv::setNumThreads(1)). Prints nothing on stdout; exit 1 with a message
// on stderr when the picture cannot be read or the output cannot be written.
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

struct RawMoments {
    std::int64_t m00 = 0, m10 = 0, m01 = 0, m20 = 0, m11 = 0, m02 = 0;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "ormax_opencv_peer: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ormax_opencv_peer SCENE.bmp OUTPUT\n");
        return 1;
    }
    cv::setNumThreads(1);
    const std::string scene = argv[1];
    std::filesystem::path output = argv[2];
    std::error_code error;
    if (std::filesystem::is_directory(output, error))
        output /= "regions.csv";

    cv::Mat image = cv::imread(scene, cv::IMREAD_COLOR);
    if (image.empty())
        return fail("cannot read the picture " + scene);

    // The regions: everything that is not exactly white.
    cv::Mat white;
    cv::inRange(image, cv::Scalar(255, 255, 255), cv::Scalar(255, 255, 255), white);
    const cv::Mat mask = ~white;
    white.release();
    image.release();

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);

    // One pass over the labels; label 0 is the white background.
    std::vector<RawMoments> moments(static_cast<std::size_t>(count));
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels.ptr<int>(y);
        for (int x = 0; x < labels.cols; ++x) {
            const int label = row[x];
            if (label == 0)
                continue;
            RawMoments& m = moments[static_cast<std::size_t>(label)];
            m.m00 += 1;
            m.m10 += x;
            m.m01 += y;
            m.m20 += std::int64_t{x} * x;
            m.m11 += std::int64_t{x} * y;
            m.m02 += std::int64_t{y} * y;
        }
    }

    std::FILE* file = std::fopen(output.c_str(), "w");
    if (!file)
        return fail("cannot write " + output.string());
    std::fprintf(file, "label,x,y,pixels,cx,cy,major,minor,angle\n");
    for (int label = 1; label < count; ++label) {
        const RawMoments& m = moments[static_cast<std::size_t>(label)];
        const double n = static_cast<double>(m.m00);
        const double cx = static_cast<double>(m.m10) / n;
        const double cy = static_cast<double>(m.m01) / n;
        // Central second moments per pixel; each pixel a unit square adds 1/12.
        const double a = (static_cast<double>(m.m20) - cx * static_cast<double>(m.m10)) / n + 1.0 / 12;
        const double b = (static_cast<double>(m.m11) - cx * static_cast<double>(m.m01)) / n;
        const double c = (static_cast<double>(m.m02) - cy * static_cast<double>(m.m01)) / n + 1.0 / 12;
        const double root = std::sqrt((a - c) * (a - c) / 4 + b * b);
        const double major = 2 * std::sqrt((a + c) / 2 + root);
        const double minor = 2 * std::sqrt(std::max((a + c) / 2 - root, 0.0));
        const double angle = 0.5 * std::atan2(2 * b, a - c);
        std::fprintf(file, "%d,%d,%d,%lld,%.6f,%.6f,%.6f,%.6f,%.6f\n", label,
                     stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
                     static_cast<long long>(m.m00), cx, cy, major, minor, angle);
    }
    const bool written = !std::ferror(file);
    if (std::fclose(file) != 0 || !written)
        return fail("cannot write " + output.string());
    return 0;
}
