#include "jpeg/AreaScaler.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {
/// Scales a grey picture given row by row (one value per pixel).
std::vector<std::vector<int>> Scale(const std::vector<std::vector<int>>& rows, int32_t tw,
                                    int32_t th) {
    TBitmap target(tw, th, 24);
    TAreaScaler scaler(int32_t(rows[0].size()), int32_t(rows.size()), target);
    for (const auto& row : rows) {
        std::vector<uint8_t> bgr;
        for (int v : row)
            bgr.insert(bgr.end(), 3, uint8_t(v));
        scaler.PushRow(bgr.data());
    }
    std::vector<std::vector<int>> out(static_cast<std::size_t>(th),
                                      std::vector<int>(static_cast<std::size_t>(tw)));
    for (int32_t y = 0; y < th; ++y)
        for (int32_t x = 0; x < tw; ++x) {
            const uint8_t* p = target.ScanLine(y) + 3 * x;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            out[y][x] = p[0];
        }
    return out;
}
} // namespace

TEST(AreaScalerTest, ReductionAveragesTheCoveredArea) {
    // 2:1 takes the mean of each 2x2 block; 3 to 2 shares the middle pixel
    EXPECT_EQ(Scale({{0, 100, 200, 200}, {100, 200, 0, 0}}, 2, 1),
              (std::vector<std::vector<int>>{{100, 100}}));
    EXPECT_EQ(Scale({{0, 90, 180}}, 2, 1), (std::vector<std::vector<int>>{{30, 150}}));
    EXPECT_EQ(Scale({{0}, {90}, {180}}, 1, 2), (std::vector<std::vector<int>>{{30}, {150}}));
}

TEST(AreaScalerTest, EnlargementRepeatsPixels) {
    EXPECT_EQ(Scale({{10, 250}, {70, 0}}, 4, 4),
              (std::vector<std::vector<int>>{
                  {10, 10, 250, 250}, {10, 10, 250, 250}, {70, 70, 0, 0}, {70, 70, 0, 0}}));
}

TEST(AreaScalerTest, OddFactorsKeepTheBrightnessOfFlatAndNoisyPictures) {
    std::mt19937 rng(3);
    std::vector<std::vector<int>> flat(97, std::vector<int>(131, 255));
    std::vector<std::vector<int>> noisy(97, std::vector<int>(131));
    long sum = 0;
    for (auto& row : noisy)
        for (int& v : row)
            sum += v = int(rng() % 256);
    for (auto [tw, th] :
         {std::pair{50, 37}, std::pair{130, 96}, std::pair{1, 1}, std::pair{200, 150}}) {
        for (const auto& row : Scale(flat, tw, th))
            for (int v : row)
                ASSERT_EQ(v, 255); // rounding never darkens white
        long total = 0;
        for (const auto& row : Scale(noisy, tw, th))
            for (int v : row)
                total += v;
        EXPECT_NEAR(double(total) / (tw * th), double(sum) / (131 * 97), 1.0);
    }
}
