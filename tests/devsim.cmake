# The device simulator, run as a real process on loopback in a namespace.
if(TARGET quillon-devsim)
    quillon_add_test(tst_devsim SOURCES tst_devsim.cpp DevsimProcess.cpp DevsimProcess.h NETNS DEPENDS quillon-devsim)
endif()
