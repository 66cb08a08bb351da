# walker, ZIP and RAR readers
