package launchertest;

import java.awt.Color;
import java.awt.EventQueue;
import java.awt.Graphics2D;
import java.awt.SplashScreen;
import java.nio.file.Files;
import java.nio.file.Paths;
import javax.swing.JFrame;
import javax.swing.SwingUtilities;
import javax.swing.Timer;

/**
 * What an application sees of the splash screen its launcher showed. "draw": draws on it and
 * closes it; "window": opens its first window and reports whether that closed the splash;
 * "wait MILLIS": keeps it up that long; "later MILLIS MARKER": creates the file MARKER and
 * returns from main at once, its window coming that much later from the event thread, as the
 * usual Swing start does; "libjvm": names every VM library this process has mapped; "none":
 * only reports whether there is one.
 */
public class SplashProbe {
    public static void main(String[] args) throws Exception {
        SplashScreen splash = SplashScreen.getSplashScreen();
        if (splash == null) {
            System.out.println("no splash");
            return;
        }
        System.out.println("splash " + splash.getSize().width + "x" + splash.getSize().height + " "
                + splash.getImageURL().getPath().replaceAll(".*/", ""));
        switch (args.length > 0 ? args[0] : "none") {
            case "draw":
                Graphics2D g = splash.createGraphics();
                g.setColor(Color.BLUE);
                g.fillRect(0, 0, 10, 10);
                splash.update();
                System.out.println("drawn, visible " + splash.isVisible());
                splash.close();
                System.out.println("closed, splash now " + SplashScreen.getSplashScreen());
                break;
            case "window":
                final JFrame[] frame = new JFrame[1];
                SwingUtilities.invokeAndWait(() -> {
                    frame[0] = new JFrame("SplashProbe");
                    frame[0].setSize(200, 100);
                    frame[0].setVisible(true);
                });
                System.out.println("window shown, splash visible " + splash.isVisible());
                SwingUtilities.invokeAndWait(() -> frame[0].dispose());
                break;
            case "later":
                Thread later = new Thread(() -> {
                    try {
                        Thread.sleep(Long.parseLong(args[1]));
                    } catch (InterruptedException e) {
                        return;
                    }
                    EventQueue.invokeLater(() -> {
                        JFrame window = new JFrame("SplashProbe");
                        window.setSize(200, 100);
                        window.setVisible(true);
                        System.out.println("window shown, splash visible " + splash.isVisible());
                        // Long enough for the test to see it mapped; then the process ends.
                        Timer close = new Timer(200, e -> System.exit(0));
                        close.setRepeats(false);
                        close.start();
                    });
                });
                later.start();
                Files.createFile(Paths.get(args[2]));
                break;
            case "libjvm":
                Files.readAllLines(Paths.get("/proc/self/maps")).stream()
                        .map(line -> line.replaceAll("^[^/]*", ""))
                        .filter(path -> path.endsWith("/libjvm.so"))
                        .distinct()
                        .forEach(path -> System.out.println("libjvm " + path));
                break;
            case "wait":
                System.out.println("waiting");
                Thread.sleep(Long.parseLong(args[1]));
                break;
            default:
                break;
        }
    }
}
