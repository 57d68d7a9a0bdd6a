// {fmt} compiled once for the cross build. Debian ships {fmt}'s headers, which hold its whole
// implementation (format-inl.h), but its library only for the build machine; taking the headers
// alone in every file made each file of the Windows build six seconds slower. This file is the
// library: the functions format-inl.h defines, and the instantiations format.h declares extern.
#include <fmt/format-inl.h>

FMT_BEGIN_NAMESPACE
namespace detail {
template FMT_API auto thousands_sep_impl<char>(locale_ref) -> thousands_sep_result<char>;
template FMT_API auto thousands_sep_impl<wchar_t>(locale_ref) -> thousands_sep_result<wchar_t>;
template FMT_API auto decimal_point_impl(locale_ref) -> char;
template FMT_API auto decimal_point_impl(locale_ref) -> wchar_t;
template FMT_API auto dragonbox::to_decimal(float x) noexcept -> dragonbox::decimal_fp<float>;
template FMT_API auto dragonbox::to_decimal(double x) noexcept -> dragonbox::decimal_fp<double>;
}  // namespace detail
FMT_END_NAMESPACE
