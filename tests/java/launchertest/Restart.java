package launchertest;

import java.io.File;
import java.io.IOException;

/**
 * An application that asks to be restarted to install an update: a start that finds no file
 * installed in its installation stages a deferred update (the installation's marker) and ends
 * with System.exit(7); one that finds it prints its arguments and returns. Each start first
 * prints "main" and its arguments joined by '|'.
 */
public final class Restart {
    static File root() {
        return new File(System.getProperty("ide.config_pathname")).getAbsoluteFile().getParentFile().getParentFile();
    }

    public static void main(String[] args) throws IOException {
        boolean installed = new File(root(), "installed").exists();
        System.out.println("main " + String.join("|", args) + (installed ? " installed" : ""));
        System.out.flush();
        if (!installed) {
            new File(root(), "lib").mkdirs();
            new File(root(), "lib/deferred-updates.xml").createNewFile();
            System.exit(7);
        }
    }
}
