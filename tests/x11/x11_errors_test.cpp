// X errors are kept with the request that caused them: a round trip that
// brings in another request's error says nothing about the request the
// caller made.
#include <gtest/gtest.h>

#include "x11/x_support.h"
#include "x11_errors.h"

using plat::detail::x11::error_of;
using plat::detail::x11::forget_errors;
using plat::detail::x11::install_error_handlers;

TEST(X11Errors, AnErrorBelongsToItsRequestAndItsConnection) {
    xtest::Xvfb xvfb;
    ASSERT_TRUE(xvfb.ok()) << "Xvfb did not start";
    xtest::Conn ours(xvfb.name()), other(xvfb.name());
    ASSERT_TRUE(ours.ok() && other.ok());
    install_error_handlers();

    // A request that fails between two that do not, all answered by one round trip.
    const Window missing = 0x3FFFFFF;
    const unsigned long before = NextRequest(ours.d());
    XMapWindow(ours.d(), ours.root());
    const unsigned long failing = NextRequest(ours.d());
    XMapWindow(ours.d(), missing);
    const unsigned long after = NextRequest(ours.d());
    XUnmapWindow(ours.d(), ours.root());
    XSync(ours.d(), False);
    EXPECT_EQ(error_of(ours.d(), failing), BadWindow);
    EXPECT_EQ(error_of(ours.d(), before), 0);
    EXPECT_EQ(error_of(ours.d(), after), 0);

    // The other connection's requests have serials of their own.
    for (unsigned long n = NextRequest(other.d()); n <= failing; ++n) XNoOp(other.d());
    XSync(other.d(), False);
    EXPECT_EQ(error_of(other.d(), failing), 0);

    // A connection being closed takes its errors along.
    forget_errors(ours.d());
    EXPECT_EQ(error_of(ours.d(), failing), 0);
}
