#include "ComStreamSource.h"

bool ComStreamSource::Read(void* buffer, uint32_t size, uint32_t* got) {
  ULONG read = 0;
  // S_FALSE means fewer bytes than asked for, which is how a stream ends.
  const HRESULT result = Remember(stream_->Read(buffer, size, &read));
  if (got != nullptr) *got = static_cast<uint32_t>(read);
  return SUCCEEDED(result);
}

bool ComStreamSource::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  DWORD streamOrigin = STREAM_SEEK_SET;
  if (origin == SeekOrigin::Current) streamOrigin = STREAM_SEEK_CUR;
  if (origin == SeekOrigin::End) streamOrigin = STREAM_SEEK_END;
  LARGE_INTEGER move;
  move.QuadPart = offset;
  ULARGE_INTEGER position;
  position.QuadPart = 0;
  if (FAILED(Remember(stream_->Seek(move, streamOrigin, &position)))) return false;
  if (newPosition != nullptr) *newPosition = position.QuadPart;
  return true;
}
