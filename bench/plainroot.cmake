# Copies a stored layout with its root widget made a plain QWidget, for uic: the compiled floor
# of open_screen has no screen class behind it. IN, OUT, ROOT_HEADER.
file(READ ${IN} text)
string(REGEX REPLACE "<widget class=\"Tfrm[A-Za-z]*\"" "<widget class=\"QWidget\"" text "${text}")
string(REPLACE "<header>${ROOT_HEADER}</header>" "<header location=\"global\">QtWidgets/QWidget</header>"
       text "${text}")
file(WRITE ${OUT} "${text}")
