// The POSIX half of APath's representation: the native form is the forward-slash form.
#include "APathImpl.h"
#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

class APathImplX : public APathImpl {
 public:
  APath::PathType NativeType() const override { return APath::kPathTypePosix; }
};

}  // namespace

APathImpl* APathImpl::Create() { return internal::TryNew<APathImplX>(); }

}  // namespace orn
}  // namespace tarsel
