#include <gtest/gtest.h>
#include <d3dx9.h>

// The data buffer D3DX hands out is zero-filled and sized as asked.
TEST(D3DXBuffer, ZeroFilledOfRequestedSize) {
  ID3DXBuffer* buffer = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(16, &buffer), S_OK);
  ASSERT_EQ(buffer->GetBufferSize(), 16u);
  const auto* bytes = static_cast<const unsigned char*>(buffer->GetBufferPointer());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0);
  EXPECT_EQ(buffer->Release(), 0u);
}
