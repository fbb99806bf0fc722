quillon_add_test(tst_dialogs SOURCES tst_dialogs.cpp ModalAnswer.h)
