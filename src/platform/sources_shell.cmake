# shell, icons, volume label and serial
